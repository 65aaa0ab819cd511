// A modal dialog from a template with an object behind it: the object travels in
// DialogBoxParam's parameter and is kept in DWLP_USER from WM_INITDIALOG on, one static
// procedure hands each message to the object, and the window lets go of it as it is destroyed.
#pragma once

#include <windows.h>

namespace kzsfx::win32 {

class ModalDialog {
 public:
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

 protected:
  ModalDialog() = default;
  ~ModalDialog() = default;

  // Shows the dialog `templateId` over `owner` until EndDialog; returns EndDialog's value,
  // or -1 when the dialog could not be created.
  INT_PTR Show(int templateId, HWND owner);

  // A message for the live dialog; TRUE when handled, as a dialog procedure returns.
  virtual INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam) = 0;

  HWND Window() const { return window_; }

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
};

}  // namespace kzsfx::win32
