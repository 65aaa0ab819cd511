// Names and messages made safe to show: nothing in them can add a line or reorder the text.
#pragma once

#include <string>
#include <string_view>

namespace kzsfx {

// True for a character that shows as nothing, breaks a line or changes the text's direction:
// the general categories Cc, Cf, Zl and Zp, and the other default-ignorable code points.
bool ShowsAsNothing(char32_t cp);

// `text` as it may be shown on a console, in a listing or a dialog: each character
// ShowsAsNothing names becomes "\u202E" (or "\U000E0001" beyond the BMP), each byte that is
// not valid UTF-8 becomes "\xFF". Everything else stays as it is.
std::string ShownText(std::string_view text);

}  // namespace kzsfx
