// The DropTarget unit: its hidden child window, whose final destruction ends the unit, and the
// OLE drop target whose texts become the frame's events.
#include "ui/drop_target_unit.h"

#include <memory>
#include <optional>
#include <variant>

#include "ui/frame.h"
#include "ui/ole_drop_target.h"
#include "ui/window_unit.h"

namespace quillet {

namespace {

constexpr WindowClass kWindowClass{"QuilletDropTargetUnit", 0, false};

// Raises the kind's event on the frame for one unit, with the text cell by reference.
class FrameDropTarget final : public OleDropTarget {
 public:
  FrameDropTarget(const DropSettings& settings, WindowId window, UnitId unit)
      : OleDropTarget(settings), window_(window), unit_(unit) {}

 protected:
  void Deliver(DropKind kind, Text& cell) override {
    EventArgument argument{.text = &cell};
    EventRecord record{.window = window_,
                       .unit = unit_,
                       .event = static_cast<EventNumber>(kind),
                       .arguments = {&argument, 1}};
    RaiseEvent(record);
  }

 private:
  WindowId window_;
  UnitId unit_;
};

class DropTargetUnit final : public WindowUnit {
 public:
  DropTargetUnit(WindowId window, const UnitDesign& design, HWND parent,
                 const DropSettings& settings)
      : WindowUnit(window, design),
        parent_(parent),
        target_(new FrameDropTarget(settings, window, design.id)) {}

  bool CreateHiddenWindow() {
    return CreateNative(kWindowClass, "", WS_CHILD | WS_CLIPSIBLINGS, design().rect, parent_);
  }

  OleDropTarget& target() { return *target_; }

 protected:
  // The hidden window's final destruction ends the unit.
  void OnNativeWindowGone() override {
    End();
    WindowUnit::OnNativeWindowGone();
  }

 private:
  // Revokes the window the unit registered (the parent, as the program uses it, or any other)
  // and gives back the drag-image helper and the drop target. A window it did not register
  // is left alone: revoking it could only take away another target's registration.
  void End() { target_.reset(); }

  HWND parent_;
  DropTargetOwner<FrameDropTarget> target_;
};

DropTargetUnit* FindDropTarget(WindowId window, UnitId unit) {
  return dynamic_cast<DropTargetUnit*>(FindUnit(window, unit, true));
}

}  // namespace

std::unique_ptr<Unit> CreateDropTarget(WindowId window, const UnitDesign& design, HWND parent) {
  const auto* properties = std::get_if<DropTargetProperties>(&design.properties);
  if (!properties) return nullptr;
  std::optional<DropSettings> settings = ReadDropSettings(properties->settings);
  if (!settings) return nullptr;
  auto unit = std::make_unique<DropTargetUnit>(window, design, parent, *settings);
  if (!unit->CreateHiddenWindow()) return nullptr;
  return unit;
}

bool RegisterDropWindow(WindowId window, UnitId unit, HWND target) {
  DropTargetUnit* found = FindDropTarget(window, unit);
  return found && found->target().Register(target);
}

bool GetDropSetting(WindowId window, UnitId unit, int number) {
  DropTargetUnit* found = FindDropTarget(window, unit);
  return found && found->target().Setting(number);
}

void SetDropSetting(WindowId window, UnitId unit, int number, bool accepted) {
  if (DropTargetUnit* found = FindDropTarget(window, unit)) {
    found->target().SetSetting(number, accepted);
  }
}

}  // namespace quillet
