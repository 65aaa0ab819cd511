// The program's stored window designs, handed to the frame by the start-up.
#pragma once

#include <span>

#include "ui/window_design.h"

namespace quillet {

std::span<const WindowDesign> StoredWindowDesigns();

}  // namespace quillet
