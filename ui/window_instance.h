// Ties a C++ object to its native window: the object travels in CreateWindowEx's creation
// parameter and is kept in GWLP_USERDATA from WM_NCCREATE on.
#pragma once

#include <windows.h>

namespace quillet {

// The object behind hwnd for this message, or null before WM_NCCREATE and after it has been
// detached. On WM_NCCREATE the object is stored; the caller finishes its own set-up.
template <typename Object>
Object* WindowInstance(HWND hwnd, UINT message, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* object = static_cast<Object*>(reinterpret_cast<const CREATESTRUCTA*>(lparam)->lpCreateParams);
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    return object;
  }
  return reinterpret_cast<Object*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// Forgets the object, so messages after WM_NCDESTROY find none.
inline void DetachWindowInstance(HWND hwnd) { ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0); }

}  // namespace quillet
