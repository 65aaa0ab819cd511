// The Label unit: one line of text on an opaque background, drawn from its design.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "ui/unit.h"
#include "ui/window_design.h"

namespace quillet {

// The live label for a design inside the parent window; null when it cannot be created.
std::unique_ptr<Unit> CreateLabel(WindowId window, const UnitDesign& design, HWND parent);

// DrawTextA flags for a label's alignment properties: horizontal 0 left, 1 centre, 2 right;
// vertical 0 top, 1 centre, 2 bottom (single line unless word wrap); always DT_NOCLIP.
UINT LabelTextFormat(std::int32_t horizontal, std::int32_t vertical, bool wordWrap);

}  // namespace quillet
