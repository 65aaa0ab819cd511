// The Label unit: one line of text on an opaque background, drawn from its design.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillet {

// DrawTextA flags for a label's alignment properties: horizontal 0 left, 1 centre, 2 right;
// vertical 0 top, 1 centre, 2 bottom (single line unless word wrap); always DT_NOCLIP.
UINT LabelTextFormat(std::int32_t horizontal, std::int32_t vertical, bool wordWrap);

}  // namespace quillet
