// Escaping of invisible and line-breaking characters for display.
#include "stub/core/shown_text.h"

#include <utility>

#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

// Unicode 15: Cc, Cf, Zl, Zp and Default_Ignorable_Code_Point, merged and sorted.
constexpr std::pair<char32_t, char32_t> invisible_ranges[] = {
    {0x0000, 0x001F},   {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x034F, 0x034F},
    {0x0600, 0x0605},   {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},
    {0x0890, 0x0891},   {0x08E2, 0x08E2},   {0x115F, 0x1160},   {0x17B4, 0x17B5},
    {0x180B, 0x180F},   {0x200B, 0x200F},   {0x2028, 0x202E},   {0x2060, 0x206F},
    {0x3164, 0x3164},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0},
    {0xFFF0, 0xFFFB},   {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F},
    {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
};

void append_hex(std::string& out, char32_t value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out += "0123456789ABCDEF"[(value >> shift) & 0xF];
}

}  // namespace

bool shows_as_nothing(char32_t cp) {
  for (const auto& [first, last] : invisible_ranges) {
    if (cp < first) return false;
    if (cp <= last) return true;
  }
  return false;
}

std::string shown_text(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t n = utf8::decode(text, i, cp);
    if (n == 0) {
      // NUL decodes as malformed too: it is escaped like any other control.
      out += "\\x";
      append_hex(out, static_cast<unsigned char>(text[i]), 2);
      ++i;
      continue;
    }
    if (shows_as_nothing(cp)) {
      out += cp > 0xFFFF ? "\\U" : "\\u";
      append_hex(out, cp, cp > 0xFFFF ? 8 : 4);
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out;
}

}  // namespace kzsfx
