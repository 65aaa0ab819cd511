// The DropTarget unit: makes a window accept dragged files (and, when switched on, text, HTML
// and URLs) and raises one event with one text per accepted kind on every drop.
#pragma once

#include <windows.h>

#include "ui/drop_settings.h"
#include "ui/window_design.h"

namespace quillet {

// Binds the unit to a window; true when the window now accepts drops through it. The unit must
// exist (a missing one is a fatal error); a second call, or one after a failed registration,
// returns false and changes nothing. A null window is not stored.
bool RegisterDropWindow(WindowId window, UnitId unit, HWND target);

// The settings by number (DropKind order, 0..3). A write takes effect at the next drag or drop.
bool GetDropSetting(WindowId window, UnitId unit, int number);
void SetDropSetting(WindowId window, UnitId unit, int number, bool accepted);

}  // namespace quillet
