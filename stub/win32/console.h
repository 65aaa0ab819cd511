// Text output for unattended runs of a GUI program: the inherited standard handles when
// present (a script redirected them), else the parent's console.
#pragma once

#include <string_view>

#include "stub/win32/handles.h"

namespace kzsfx::win32 {

class Console {
 public:
  Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // True when output goes somewhere: a redirected handle or a console.
  bool Present() const;

  void Out(std::wstring_view text) { Write(out_, text); }
  void Err(std::wstring_view text) { Write(err_, text); }

 private:
  // A console gets the UTF-16 text itself; a file or pipe gets UTF-8, which loses nothing.
  static void Write(HANDLE handle, std::wstring_view text);

  HANDLE out_ = nullptr;
  HANDLE err_ = nullptr;
  AutoFile console_;  // CONOUT$ when we attached to the parent's console
};

}  // namespace kzsfx::win32
