// A unit with a native window of its own: the object travels in CreateWindowEx's creation
// parameter and is kept in GWLP_USERDATA from WM_NCCREATE on, one static procedure hands each
// message to the object, and an object that goes while its window lives takes the window along.
#pragma once

#include <windows.h>

#include "ui/unit.h"
#include "ui/window_class.h"

namespace quillet {

class WindowUnit : public Unit {
 public:
  // A window that still lives is detached first, so its destruction no longer reaches us.
  ~WindowUnit() override;

 protected:
  WindowUnit(WindowId window, const UnitDesign& design) : Unit(window, design) {}

  // Registers the class (once per process) and creates the window with this object behind it;
  // false when either fails.
  bool CreateNative(const WindowClass& windowClass, const char* text, DWORD style,
                    const UnitRect& rect, HWND parent);

  // A message for the live window; the system's handling unless overridden.
  virtual LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  // The native window is gone for good. Tells the frame, which may free this object at once:
  // an override does its own part first.
  virtual void OnNativeWindowGone();

 private:
  static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
};

}  // namespace quillet
