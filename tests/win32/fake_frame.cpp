// The stand-in frame: units kept by id, events handed to a test hook, destruction recorded.
// Like the real frame, a destroyed unit is freed as soon as it says so.
#include "tests/win32/fake_frame.h"

#include "base/fatal.h"
#include "ui/drop_target_unit.h"

namespace quillet {

namespace testing {

FakeFrame& Frame() {
  static FakeFrame frame;
  return frame;
}

Unit* FakeFrame::Add(WindowId window, const UnitDesign& design, HWND parent) {
  std::unique_ptr<Unit> unit = CreateDropTarget(window, design, parent);
  Unit* raw = unit.get();
  if (unit) units[{window, design.id}] = std::move(unit);
  return raw;
}

void FakeFrame::Clear() {
  units.clear();
  onEvent = nullptr;
  destroyed.clear();
  lookups.clear();
}

}  // namespace testing

int RaiseEvent(EventRecord& record) {
  auto& frame = testing::Frame();
  if (!frame.onEvent) return 0;
  frame.onEvent(record);
  record.handled = true;
  return 1;
}

Unit* FindUnit(WindowId window, std::optional<UnitId> unit, bool mustExist) {
  auto& frame = testing::Frame();
  frame.lookups.push_back(mustExist);
  auto found = frame.units.find({window, unit.value_or(0)});
  if (found != frame.units.end() && ::IsWindow(found->second->hwnd())) return found->second.get();
  if (mustExist) ReportFatalError("指定窗口或窗口组件不存在或尚未载入", 0);
  return nullptr;
}

void NotifyUnitDestroyed(WindowId window, UnitId unit) {
  auto& frame = testing::Frame();
  frame.destroyed.emplace_back(window, unit);
  // Moved out first: the unit's destructor must not run while the map is being changed.
  auto found = frame.units.find({window, unit});
  if (found == frame.units.end()) return;
  std::unique_ptr<Unit> gone = std::move(found->second);
  frame.units.erase(found);
}

}  // namespace quillet
