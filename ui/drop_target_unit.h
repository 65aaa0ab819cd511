// The DropTarget unit: makes a window accept dragged files (and, when switched on, text, HTML
// and URLs) and raises one event with one text per accepted kind on every drop.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/drop_settings.h"
#include "ui/unit.h"
#include "ui/window_design.h"

namespace quillet {

// The live drop target for a design inside the parent window: a hidden child window that ends
// the unit when it goes. Null when the settings record is refused or the window not created.
std::unique_ptr<Unit> CreateDropTarget(WindowId window, const UnitDesign& design, HWND parent);

// Binds the unit to a window; true when the window now accepts drops through it. The unit must
// exist (a missing one is a fatal error); a second call, or one after a failed registration,
// returns false and changes nothing. A null window is not stored.
bool RegisterDropWindow(WindowId window, UnitId unit, HWND target);

// The settings by number (DropKind order, 0..3). A write takes effect at the next drag or drop.
bool GetDropSetting(WindowId window, UnitId unit, int number);
void SetDropSetting(WindowId window, UnitId unit, int number, bool accepted);

}  // namespace quillet
