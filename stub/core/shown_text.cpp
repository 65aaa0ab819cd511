// Escaping of invisible and line-breaking characters for display.
#include "stub/core/shown_text.h"

#include "stub/core/invisible_code_points.h"
#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

void AppendHex(std::string& out, char32_t value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
    out += "0123456789ABCDEF"[(value >> shift) & 0xF];
}

}  // namespace

bool ShowsAsNothing(char32_t cp) { return IsInvisibleCodePoint(cp); }

std::string ShownText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    const std::size_t n = utf8::Decode(text, i, cp);
    if (n == 0) {
      // NUL decodes as malformed too: it is escaped like any other control.
      out += "\\x";
      AppendHex(out, static_cast<unsigned char>(text[i]), 2);
      ++i;
      continue;
    }
    if (ShowsAsNothing(cp)) {
      out += cp > 0xFFFF ? "\\U" : "\\u";
      AppendHex(out, cp, cp > 0xFFFF ? 8 : 4);
    } else {
      out.append(text.substr(i, n));
    }
    i += n;
  }
  return out;
}

}  // namespace kzsfx
