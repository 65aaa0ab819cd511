// What the system's code pages need of the program's texts: which bytes begin a two-byte
// character in the ANSI code page, and a text as the OEM code page's bytes.
#pragma once

#include <optional>

#include "base/text.h"

namespace quillet {

// The lead bytes of the ANSI code page: none for a single-byte one such as 1252.
LeadBytes AnsiLeadBytes();

// The text in the OEM code page, in which the command interpreter reads a batch file; nothing
// when a character has no exact equivalent there or the text is no valid ANSI text.
std::optional<ByteBuffer> AnsiToOem(TextView text);

}  // namespace quillet
