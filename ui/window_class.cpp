// Window class registration for the program's own windows.
#include "ui/window_class.h"

namespace quillet {

bool RegisterWindowClass(const WindowClass& windowClass, WNDPROC procedure) {
  WNDCLASSEXA description{};
  description.cbSize = sizeof description;
  description.style = windowClass.style;
  description.lpfnWndProc = procedure;
  description.hInstance = ::GetModuleHandleA(nullptr);
  if (windowClass.arrowCursor) description.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
  description.lpszClassName = windowClass.name;
  return ::RegisterClassExA(&description) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace quillet
