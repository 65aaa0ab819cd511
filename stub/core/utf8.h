// Small UTF-8 helpers: decoding, validation, UTF-16 length, and conversion from wide strings.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kzsfx::utf8 {

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF, no NUL.
bool Valid(std::string_view text);

// Decodes the sequence at `at` into `cp`; its length, or 0 when it is malformed.
std::size_t Decode(std::string_view text, std::size_t at, char32_t& cp);

// Appends `cp` (a valid code point) as UTF-8.
void Append(std::string& out, char32_t cp);

// Whether `test` holds for any code point of the text; decoding stops at the first malformed
// sequence.
bool AnyCodePoint(std::string_view text, bool (*test)(char32_t));

// Number of UTF-16 units the (valid) text takes: what Windows' name limits count.
std::size_t Utf16Length(std::string_view text);

// From wchar_t text (UTF-16 on Windows, UTF-32 elsewhere). Unpaired surrogates or invalid
// code points make the result empty.
std::string FromWide(std::wstring_view text);

}  // namespace kzsfx::utf8
