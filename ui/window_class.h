// The window classes of the program's own windows, registered with the system at first use.
#pragma once

#include <windows.h>

namespace quillet {

struct WindowClass {
  const char* name;
  UINT style;
  bool arrowCursor;
};

// Registers the class with its procedure; true when it is registered now or already was. No
// class has a background brush or an icon: our windows paint themselves and set their icons.
bool RegisterWindowClass(const WindowClass& windowClass, WNDPROC procedure);

}  // namespace quillet
