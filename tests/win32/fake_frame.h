// Test support: a stand-in for the application frame's unit registry and event routing, so the
// drop target unit can be tested (and hosted by test programs) without the real frame.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "ui/frame.h"
#include "ui/unit.h"

namespace quillet::testing {

struct FakeFrame {
  std::map<std::pair<WindowId, UnitId>, std::unique_ptr<Unit>> units;
  // Called for every RaiseEvent; the handler may change the text cell it is given.
  std::function<void(EventRecord&)> onEvent;
  std::vector<std::pair<WindowId, UnitId>> destroyed;  // NotifyUnitDestroyed calls
  std::vector<bool> lookups;                           // the must-exist flag of each FindUnit

  // Creates the unit through the factory and keeps it, as the frame does; null on failure.
  Unit* Add(WindowId window, const UnitDesign& design, HWND parent);
  void Clear();
};

FakeFrame& Frame();

}  // namespace quillet::testing
