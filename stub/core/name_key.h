// Paths as Windows compares them: two paths with one key name one file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kzsfx {

// A checked path ("a/b.txt", safe_path.h) with every character upper-cased as NTFS's case
// table does, so that equal keys mean one file to Windows. The table is carried for the
// scripts where that folding is simple and sure: ASCII, Latin-1, Latin Extended-A, the pinyin
// vowels of Latin Extended-B, Latin Extended Additional, basic Greek and Cyrillic, and the
// fullwidth Latin letters; the caseless ranges (punctuation, symbols, CJK, kana, Hangul,
// private use, everything beyond the BMP, which Windows never folds) stay as they are.
// Nothing when the path holds a character of any other cased script: the caller must then
// compare nothing and take the way that needs no comparison.
std::optional<std::string> WindowsNameKey(std::string_view path);

}  // namespace kzsfx
