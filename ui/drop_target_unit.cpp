// The DropTarget unit: its hidden child window, whose final destruction ends the unit, and the
// OLE drop target whose texts become the frame's events.
#include "ui/drop_target.h"

#include <memory>
#include <optional>
#include <variant>

#include "ui/frame.h"
#include "ui/ole_drop_target.h"
#include "ui/unit.h"
#include "ui/window_instance.h"

namespace quillet {

namespace {

constexpr char kWindowClass[] = "QuilletDropTargetUnit";

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

class DropTargetUnit final : public Unit {
 public:
  DropTargetUnit(WindowId window, const UnitDesign& design, HWND parent,
                 const DropSettings& settings)
      : Unit(window, design),
        parent_(parent),
        target_(new FrameDropTarget(settings, window, design.id)) {}

  ~DropTargetUnit() override {
    if (HWND hidden = hwnd()) {
      // Torn down by its owner while the window lives: the window must not end us twice.
      ::SetWindowLongPtrA(hidden, GWLP_USERDATA, 0);
      ::DestroyWindow(hidden);
    }
    End();
  }

  bool CreateHiddenWindow() {
    const UnitRect& rect = design().rect;
    HWND hidden = ::CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_CLIPSIBLINGS, rect.left,
                                    rect.top, rect.width, rect.height, parent_, nullptr,
                                    ::GetModuleHandleA(nullptr), this);
    set_hwnd(hidden);
    return hidden != nullptr;
  }

  OleDropTarget& target() { return *target_; }

  // The hidden window's final destruction ends the unit. The frame is told last, because it
  // may free the unit at once.
  void OnHiddenWindowGone() {
    set_hwnd(nullptr);
    End();
    NotifyUnitDestroyed(window(), id());
  }

 private:
  // Revokes the window the unit registered (the parent, as the program uses it, or any other)
  // and gives back the drag-image helper and the drop target. A window it did not register
  // is left alone: revoking it could only take away another target's registration.
  void End() { target_.reset(); }

  HWND parent_;
  DropTargetOwner<FrameDropTarget> target_;
};

LRESULT CALLBACK HiddenWindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* unit = WindowInstance<DropTargetUnit>(hwnd, message, lparam);
  if (message == WM_NCDESTROY) {
    DetachWindowInstance(hwnd);
    if (unit) unit->OnHiddenWindowGone();
  }
  return ::DefWindowProcA(hwnd, message, wparam, lparam);
}

bool RegisterHiddenWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = HiddenWindowProc;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassExA(&windowClass) != 0 ||
           ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

DropTargetUnit* FindDropTarget(WindowId window, UnitId unit) {
  return dynamic_cast<DropTargetUnit*>(FindUnit(window, unit, true));
}

}  // namespace

std::unique_ptr<Unit> CreateDropTarget(WindowId window, const UnitDesign& design, HWND parent) {
  const auto* properties = std::get_if<DropTargetProperties>(&design.properties);
  if (!properties) return nullptr;
  std::optional<DropSettings> settings = ReadDropSettings(properties->settings);
  if (!settings || !RegisterHiddenWindowClass()) return nullptr;
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
