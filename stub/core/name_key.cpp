// The upper-case folding Windows applies to names, for the ranges where it is simple.
#include "stub/core/name_key.h"

#include "stub/core/utf8.h"

namespace kzsfx {

namespace {

constexpr char32_t kUnknown = 0xFFFFFFFF;

bool Between(char32_t cp, char32_t first, char32_t last) { return cp >= first && cp <= last; }

// Ranges that hold no character with an upper-case form (nor one that is the upper-case form
// of a character outside them).
bool Caseless(char32_t cp) {
  return cp < 0x61 || Between(cp, 0x7B, 0xB4) || Between(cp, 0xB6, 0xBF) || cp == 0xDF ||
         Between(cp, 0x02B0, 0x0344) || Between(cp, 0x0346, 0x036F) ||
         Between(cp, 0x2000, 0x214D) || Between(cp, 0x214F, 0x215F) ||
         Between(cp, 0x2190, 0x24B5) || Between(cp, 0x24EA, 0x2BFF) ||
         Between(cp, 0x2E00, 0xA63F) || Between(cp, 0xAC00, 0xD7FF) ||
         Between(cp, 0xE000, 0xFAFF) || Between(cp, 0xFE00, 0xFF20) ||
         Between(cp, 0xFF3B, 0xFF40) || Between(cp, 0xFF5B, 0xFFFF) || cp > 0xFFFF;
}

// The upper-case form where this file knows it, else kUnknown.
char32_t Upper(char32_t cp) {
  if (Between(cp, 'a', 'z')) return cp - 0x20;
  if (cp == 0xB5) return 0x039C;  // micro sign: Greek capital mu
  if (Between(cp, 0xE0, 0xFE)) return cp == 0xF7 ? cp : cp - 0x20;
  if (cp == 0xFF) return 0x0178;
  if (Between(cp, 0xC0, 0xDE)) return cp;
  if (Between(cp, 0x0100, 0x017F)) {
    // Pairs, capital first, with the pair boundary shifted by one from U+0139 to U+0148 and
    // from U+0179 to U+017E. Dotless i and long s fold to their ASCII capitals.
    if (cp == 0x0130 || cp == 0x0131) return 'I';
    if (cp == 0x017F) return 'S';
    if (cp == 0x0138 || cp == 0x0149 || cp == 0x0178) return cp;
    const bool shifted = Between(cp, 0x0139, 0x0148) || Between(cp, 0x0179, 0x017E);
    return (cp % 2 == 0) == shifted ? cp - 1 : cp;
  }
  if (Between(cp, 0x01CD, 0x01DC)) return cp % 2 == 0 ? cp - 1 : cp;  // pinyin: ǎ ǐ ǒ ǔ ǖ ǘ ǚ ǜ
  if (Between(cp, 0x0384, 0x03CE) || cp == 0x0374 || cp == 0x0375 || cp == 0x037E) {
    if (cp == 0x038B || cp == 0x038D) return kUnknown;
    if (Between(cp, 0x03B1, 0x03CB)) return cp == 0x03C2 ? 0x03A3 : cp - 0x20;
    if (cp == 0x03AC) return 0x0386;
    if (Between(cp, 0x03AD, 0x03AF)) return cp - 0x25;
    if (cp == 0x03CC) return 0x038C;
    if (Between(cp, 0x03CD, 0x03CE)) return cp - 0x3F;
    return cp;
  }
  if (Between(cp, 0x0400, 0x042F)) return cp;
  if (Between(cp, 0x0430, 0x044F)) return cp - 0x20;
  if (Between(cp, 0x0450, 0x045F)) return cp - 0x50;
  if (Between(cp, 0x1E00, 0x1E95) || Between(cp, 0x1EA0, 0x1EFF)) return cp % 2 ? cp - 1 : cp;
  if (Between(cp, 0xFF21, 0xFF3A)) return cp;
  if (Between(cp, 0xFF41, 0xFF5A)) return cp - 0x20;
  return Caseless(cp) ? cp : kUnknown;
}

}  // namespace

std::optional<std::string> WindowsNameKey(std::string_view path) {
  std::string key;
  key.reserve(path.size());
  for (std::size_t i = 0; i < path.size();) {
    char32_t cp = 0;
    const std::size_t n = utf8::Decode(path, i, cp);
    if (n == 0) return std::nullopt;
    const char32_t folded = Upper(cp);
    if (folded == kUnknown) return std::nullopt;
    utf8::Append(key, folded);
    i += n;
  }
  return key;
}

}  // namespace kzsfx
