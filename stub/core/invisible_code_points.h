// Characters that show as nothing, as a blank or as a line break, or that reorder the text
// around them: what a name must not hold, and what is shown escaped wherever names are shown.
#pragma once

namespace kzsfx {

// Of general category Cc, Cf, Zl or Zp, or a Default_Ignorable_Code_Point, as the Unicode
// Character Database says (the table scripts/make-invisible-table generates).
bool IsInvisibleCodePoint(char32_t codePoint);

}  // namespace kzsfx
