// Fuzzes the conversion of dropped names to the ANSI code page, under GBK (936) and 1252 as
// iconv knows them: every character comes out as exactly itself or as "?", never as a lookalike
// or a piece of another character, and a lone surrogate or a NUL always as "?".
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dropped_names.h"
#include "fuzz/fuzz_input.h"

namespace {

// One iconv conversion, reused; reset before each use.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
    CHECK(handle_ != reinterpret_cast<iconv_t>(-1));
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  ~Converter() { iconv_close(handle_); }

  // All the bytes converted, or nothing when any cannot be.
  std::optional<std::string> Convert(std::string_view bytes) {
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    std::string out(bytes.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char* at = out.data();
    std::size_t outLeft = out.size();
    if (iconv(handle_, &in, &inLeft, &at, &outLeft) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    if (iconv(handle_, nullptr, nullptr, &at, &outLeft) == static_cast<std::size_t>(-1)) {
      return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
  }

 private:
  iconv_t handle_;
};

std::string Utf16Bytes(std::u16string_view units) {
  std::string bytes;
  for (char16_t unit : units) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

std::u16string Utf16Units(std::string_view bytes) {
  std::u16string units;
  for (std::size_t at = 0; at + 1 < bytes.size(); at += 2) {
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                          static_cast<unsigned char>(bytes[at + 1]) << 8));
  }
  return units;
}

struct CodePage {
  Converter encode;
  Converter decode;
};

CodePage& CodePageFor(std::uint8_t choice) {
  static CodePage gbk{{"GBK", "UTF-16LE"}, {"UTF-16LE", "GBK"}};
  static CodePage western{{"CP1252", "UTF-16LE"}, {"UTF-16LE", "CP1252"}};
  return choice & 1 ? western : gbk;
}

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

// The code page's exact bytes for one character: they must read back as that character.
std::optional<std::string> Exact(CodePage& codePage, std::u16string_view character) {
  const std::optional<std::string> bytes = codePage.encode.Convert(Utf16Bytes(character));
  if (!bytes) return std::nullopt;
  const std::optional<std::string> back = codePage.decode.Convert(*bytes);
  if (!back || Utf16Units(*back) != character) return std::nullopt;
  return bytes;
}

// What the conversion must give for one character: itself, or "?" for a lone surrogate, a
// character the code page lacks, and NUL, which no path holds and which would end the text.
std::u16string Expected(CodePage& codePage, std::u16string_view character) {
  const bool lone = character.size() == 1 && IsSurrogate(character[0]);
  const std::optional<std::string> bytes = lone ? std::nullopt : Exact(codePage, character);
  if (!bytes || bytes->find('\0') != std::string::npos) return u"?";
  return std::u16string(character);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  CodePage& codePage = CodePageFor(data[0]);
  const std::u16string path =
      Utf16Units(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

  const std::string ansi = quillet::PathToAnsi(
      path, [&](std::u16string_view character) { return Exact(codePage, character); });
  CHECK(ansi.find('\0') == std::string::npos);

  // Read back, the result is the path with exactly its unrepresentable characters as "?".
  std::u16string expected;
  for (std::size_t at = 0; at < path.size();) {
    const bool pair = at + 1 < path.size() && path[at] >= 0xD800 && path[at] <= 0xDBFF &&
                      path[at + 1] >= 0xDC00 && path[at + 1] <= 0xDFFF;
    const std::u16string_view character(path.data() + at, pair ? 2 : 1);
    expected += Expected(codePage, character);
    at += character.size();
  }
  const std::optional<std::string> back = codePage.decode.Convert(ansi);
  CHECK(back);
  CHECK(Utf16Units(*back) == expected);
  return 0;
}
