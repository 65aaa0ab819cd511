// A live unit of a loaded window: the window itself, a label or a drop target. The frame
// creates units from their designs, finds them by id and is told when one is gone.
#pragma once

#include <windows.h>

#include "ui/window_design.h"

namespace quillet {

class Unit {
 public:
  Unit(WindowId window, const UnitDesign& design) : window_(window), design_(design) {}
  virtual ~Unit() = default;
  Unit(const Unit&) = delete;
  Unit& operator=(const Unit&) = delete;

  WindowId window() const { return window_; }
  UnitId id() const { return design_.id; }
  const UnitDesign& design() const { return design_; }
  // The unit's native window (a label's window, the drop target's hidden child window).
  HWND hwnd() const { return hwnd_; }

 protected:
  void set_hwnd(HWND hwnd) { hwnd_ = hwnd; }

 private:
  WindowId window_;
  const UnitDesign& design_;
  HWND hwnd_ = nullptr;
};

}  // namespace quillet
