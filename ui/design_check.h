// Whether a set of window designs holds together well enough for the frame to build from.
#pragma once

#include <span>

#include "ui/window_design.h"

namespace quillet {

// True when every window has its own id and its window unit first and only first, and no unit
// id appears twice within a window.
bool DesignsHoldTogether(std::span<const WindowDesign> designs);

}  // namespace quillet
