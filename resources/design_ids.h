// The ids of the stored main window and its units, and the title the start-up gives the
// window: the design data, the start-up, the tests and the tools name them from here.
#pragma once

#include "ui/window_design.h"

namespace quillet {

inline constexpr WindowId kMainWindow = 0x52010001;
inline constexpr UnitId kMainWindowUnit = 0x06010000;
inline constexpr UnitId kHintLabel = 0x16010004;
inline constexpr UnitId kDropTargetUnit = 0x16010005;
inline constexpr UnitId kAddressLabel = 0x16010012;

// The stored title is empty; the start-up sets this one when the window is created.
inline constexpr char kMainWindowTitle[] = "Quillet 0.1";

}  // namespace quillet
