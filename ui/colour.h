// The colours of a stored design as the windows paint them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillet {

// The default colour is the system's 3D face colour, looked up now; any other stored colour is
// a COLORREF.
COLORREF ResolveColour(std::uint32_t stored);

}  // namespace quillet
