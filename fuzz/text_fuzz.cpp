// Fuzzes the text operations and the dropped-path analysis: no read past a text's end, every
// result within the bounds its operation promises.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/globals.h"
#include "app/path_analysis.h"
#include "base/text.h"

namespace {

using namespace quillet;

#define CHECK(condition)  \
  do {                    \
    if (!(condition)) std::abort(); \
  } while (0)

// Every piece in its own exactly sized block, so AddressSanitizer sees the first byte past it.
class Piece {
 public:
  explicit Piece(std::string_view bytes) : bytes_(bytes.begin(), bytes.end()) { bytes_.push_back('\0'); }
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

std::string_view TakePiece(std::string_view& input) {
  const std::size_t end = std::min(input.find('\0'), input.size());
  const std::string_view piece = input.substr(0, end);
  input.remove_prefix(std::min(end + 1, input.size()));
  return piece;
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
  for (std::size_t p = 0; p < text.size(); p += (static_cast<unsigned char>(text[p]) & 0x80) ? 2 : 1) {
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

void CheckFind(const Piece& text, const Piece& sought, std::int32_t start, bool useStart, bool fold) {
  const std::optional<std::int32_t> from = useStart ? std::optional(start) : std::nullopt;
  const std::int32_t found = FindLastText(text.view(), sought.view(), from, fold);
  const std::int64_t length = static_cast<std::int64_t>(text.size());
  const std::int64_t region = useStart ? std::clamp<std::int64_t>(std::int64_t{start} - 1, 0, length) : length;
  if (found == -1) return;
  CHECK(found >= 1);
  const auto at = static_cast<std::size_t>(found - 1);
  if (sought.size() == 0) {
    CHECK(found == 1 && region > 0);
    return;
  }
  CHECK(static_cast<std::int64_t>(at + sought.size()) <= region);
  CHECK(CharacterStarts(text.bytes())[at]);
  CHECK(Matches(text.bytes(), at, sought.bytes(), fold));
}

void CheckReplace(const Piece& text, const Piece& sought, const Piece& with, std::int32_t start,
                  std::int32_t limit, std::uint8_t flags) {
  const bool matchCase = flags & 1;
  const std::optional<std::int32_t> from = (flags & 2) ? std::optional(start) : std::nullopt;
  const std::optional<std::int32_t> most = (flags & 4) ? std::optional(limit) : std::nullopt;
  const Text result = ReplaceText(text.view(), sought.view(), with.view(), from, most, matchCase);
  CHECK(std::strlen(result.c_str()) == result.view().size());
  const std::size_t skipped = from && *from > 1 ? std::min<std::size_t>(*from - 1, text.size()) : 0;
  CHECK(result.view().substr(0, skipped) == text.bytes().substr(0, skipped));
  if (sought.size() == 0 || (most && *most == 0)) CHECK(result.view() == text.bytes());
  if (matchCase && sought.bytes() == with.bytes()) CHECK(result.view() == text.bytes());
  if (with.size() <= sought.size()) CHECK(result.view().size() <= text.size());
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

void CheckAnalysis(const Piece& dropped) {
  const bool accepted = AnalyseDroppedPath(dropped.view());
  CHECK(DroppedPath.view() == dropped.bytes());
  if (SlashPos == -1) {
    CHECK(FileName.empty() && FolderPart.empty());
  } else {
    CHECK(std::string(FolderPart.view()) + std::string(FileName.view()) == dropped.bytes());
    CHECK(FolderPart.view().ends_with('\\'));
  }
  CHECK(FileName.view().ends_with(Extension.view()));
  CHECK(BaseName.view().size() <= FileName.view().size());
  if (accepted) CHECK(Extension.view() == "kz" || Extension.view() == "zip");
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
  CheckAnalysis(text);
  return 0;
}
