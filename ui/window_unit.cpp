// The plumbing every unit with a native window shares: class, creation, message routing and
// the end of the window.
#include "ui/window_unit.h"

#include "ui/frame_events.h"

namespace quillet {

WindowUnit::~WindowUnit() {
  if (HWND hwnd = this->hwnd(); hwnd && ::IsWindow(hwnd)) {
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd);
  }
}

bool WindowUnit::CreateNative(const WindowClass& windowClass, const char* text, DWORD style,
                              const UnitRect& rect, HWND parent) {
  if (!RegisterWindowClass(windowClass, Procedure)) return false;
  return ::CreateWindowExA(0, windowClass.name, text, style, rect.left, rect.top, rect.width,
                           rect.height, parent, nullptr, ::GetModuleHandleA(nullptr),
                           this) != nullptr;
}

LRESULT WindowUnit::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::DefWindowProcA(hwnd(), message, wparam, lparam);
}

void WindowUnit::OnNativeWindowGone() { NotifyUnitDestroyed(window(), id()); }

LRESULT CALLBACK WindowUnit::Procedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  WindowUnit* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<WindowUnit*>(reinterpret_cast<const CREATESTRUCTA*>(lparam)->lpCreateParams);
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->set_hwnd(hwnd);
  } else {
    self = reinterpret_cast<WindowUnit*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcA(hwnd, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    const LRESULT result = ::DefWindowProcA(hwnd, message, wparam, lparam);
    self->set_hwnd(nullptr);
    self->OnNativeWindowGone();  // last: the object may be freed
    return result;
  }
  return self->Handle(message, wparam, lparam);
}

}  // namespace quillet
