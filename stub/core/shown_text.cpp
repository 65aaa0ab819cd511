// Escaping of invisible and line-breaking characters for display.
#include "stub/core/shown_text.h"

#include "stub/core/invisible_code_points.h"
#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

void append_hex(std::string& out, char32_t value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out += "0123456789ABCDEF"[(value >> shift) & 0xF];
}

}  // namespace

bool shows_as_nothing(char32_t cp) { return IsInvisibleCodePoint(cp); }

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
