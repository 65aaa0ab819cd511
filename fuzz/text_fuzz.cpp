// Fuzzes the text operations against a plain reference model on std::string: the same result
// for every input, and no read past a text's end.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "fuzz/fuzz_input.h"

namespace {

using quillet::fuzz::TakePiece;

using namespace quillet;

// Every piece in its own exactly sized block, so AddressSanitizer sees the first byte past it.
class Piece {
 public:
  explicit Piece(std::string_view bytes) : bytes_(bytes.begin(), bytes.end()) {
    bytes_.push_back('\0');
  }
  TextView view() const { return bytes_.data(); }
  std::size_t size() const { return bytes_.size() - 1; }
  std::string_view bytes() const { return {bytes_.data(), size()}; }

 private:
  std::vector<char> bytes_;
};

std::int32_t TakeInt(std::string_view& input) {
  std::uint32_t value = 0;
  const std::size_t n = std::min<std::size_t>(4, input.size());
  std::memcpy(&value, input.data(), n);
  input.remove_prefix(n);
  return static_cast<std::int32_t>(value);
}

unsigned char Fold(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 0x20) : b;
}

bool Matches(std::string_view text, std::size_t at, std::string_view sought, bool fold) {
  for (std::size_t i = 0; i < sought.size(); ++i) {
    if (fold ? Fold(text[at + i]) != Fold(sought[i]) : text[at + i] != sought[i]) return false;
  }
  return true;
}

std::vector<bool> CharacterStarts(std::string_view text) {
  std::vector<bool> starts(text.size() + 2, false);
  for (std::size_t p = 0; p < text.size();
       p += (static_cast<unsigned char>(text[p]) & 0x80) ? 2 : 1) {
    starts[p] = true;
  }
  return starts;
}

void CheckCuts(const Piece& text, std::int32_t a, std::int32_t b) {
  const auto length = static_cast<std::int64_t>(text.size());
  const Text left = LeftText(text.view(), a);
  CHECK(left.size() == std::clamp<std::int64_t>(a, 0, length));
  CHECK(text.bytes().starts_with(left.view()));

  const Text mid = MidText(text.view(), a, b);
  const std::int64_t offset = std::int64_t{a} - 1;
  if (offset < 0 || offset >= length || b <= 0) {
    CHECK(mid.empty());
  } else {
    CHECK(mid.size() == std::min<std::int64_t>(b, length - offset));
    CHECK(text.bytes().substr(static_cast<std::size_t>(offset), mid.view().size()) == mid.view());
  }
}

// The reference model: the same rules written the obvious way. Character starts step over
// two-byte characters (a high-bit lead byte and its trail, unless the text ends first).
std::size_t Width(std::string_view text, std::size_t at) {
  return (static_cast<unsigned char>(text[at]) & 0x80) && at + 1 < text.size() ? 2 : 1;
}

std::int32_t ReferenceFindLast(std::string_view text, std::string_view sought,
                               std::optional<std::int32_t> start, bool fold) {
  const auto length = static_cast<std::int64_t>(text.size());
  const std::int64_t region =
      start ? std::clamp<std::int64_t>(std::int64_t{*start} - 1, 0, length) : length;
  if (sought.empty()) return region > 0 ? 1 : -1;
  const std::vector<bool> starts = CharacterStarts(text);
  // Backwards from the last place an occurrence could begin.
  for (std::int64_t at = region - static_cast<std::int64_t>(sought.size()); at >= 0; --at) {
    const auto p = static_cast<std::size_t>(at);
    if (starts[p] && Matches(text, p, sought, fold)) return static_cast<std::int32_t>(at + 1);
  }
  return -1;
}

std::string ReferenceReplace(std::string_view text, std::string_view sought, std::string_view with,
                             std::optional<std::int32_t> start, std::optional<std::int32_t> limit,
                             bool matchCase) {
  const std::size_t skipped = start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
  if (sought.empty() || skipped >= text.size() || (limit && *limit == 0)) return std::string(text);
  std::int64_t left = limit && *limit > 0 ? *limit : -1;
  std::string out(text.substr(0, skipped));
  std::size_t at = skipped;
  while (at < text.size()) {
    if (left != 0 && at + sought.size() <= text.size() && Matches(text, at, sought, !matchCase)) {
      out += with;
      at += sought.size();
      if (left > 0) --left;
    } else {
      const std::size_t width = Width(text, at);
      out += text.substr(at, width);
      at += width;
    }
  }
  return out;
}

void CheckFind(const Piece& text, const Piece& sought, std::int32_t start, bool useStart,
               bool fold) {
  const std::optional<std::int32_t> from = useStart ? std::optional(start) : std::nullopt;
  CHECK(FindLastText(text.view(), sought.view(), from, fold) ==
        ReferenceFindLast(text.bytes(), sought.bytes(), from, fold));
}

void CheckReplace(const Piece& text, const Piece& sought, const Piece& with, std::int32_t start,
                  std::int32_t limit, std::uint8_t flags) {
  const bool matchCase = flags & 1;
  const std::optional<std::int32_t> from = (flags & 2) ? std::optional(start) : std::nullopt;
  const std::optional<std::int32_t> most = (flags & 4) ? std::optional(limit) : std::nullopt;
  const Text result = ReplaceText(text.view(), sought.view(), with.view(), from, most, matchCase);
  CHECK(std::strlen(result.c_str()) == result.view().size());
  CHECK(result.view() ==
        ReferenceReplace(text.bytes(), sought.bytes(), with.bytes(), from, most, matchCase));
}

void CheckJoinAndCompare(const Piece& a, const Piece& b) {
  const Text joined = ConcatText({a.view(), TextView(), b.view()});
  CHECK(joined.view().size() == a.size() + b.size());
  CHECK(joined.view().starts_with(a.bytes()) && joined.view().ends_with(b.bytes()));

  const std::int32_t order = CompareText(a.view(), b.view());
  CHECK(order == -CompareText(b.view(), a.view()));
  const int expected = std::strcmp(a.view().c_str(), b.view().c_str());
  CHECK(order == (expected < 0 ? -1 : expected > 0 ? 1 : 0));

  const ByteBuffer bytes = TextToBytes(a.view());
  CHECK(bytes.size() == a.size());
  CHECK(a.size() == 0 || std::memcmp(bytes.data(), a.view().c_str(), a.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::int32_t a = TakeInt(input);
  const std::int32_t b = TakeInt(input);
  const std::uint8_t flags = input.empty() ? 0 : static_cast<std::uint8_t>(input[0]);
  if (!input.empty()) input.remove_prefix(1);
  const Piece text(TakePiece(input));
  const Piece sought(TakePiece(input));
  const Piece with(TakePiece(input));

  CHECK(TextLength(text.view()) == static_cast<std::int32_t>(text.size()));
  CheckCuts(text, a, b);
  CheckFind(text, sought, a, flags & 2, flags & 8);
  CheckReplace(text, sought, with, a, b, flags);
  CheckJoinAndCompare(text, sought);
  return 0;
}
