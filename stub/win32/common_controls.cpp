// The common controls, loaded at run time rather than imported: comctl32.dll is no KnownDLL,
// and a static import is resolved before WinMain can keep the loader out of the program's own
// folder, where a downloaded self-extractor sits beside whatever else came down.
#include "stub/win32/common_controls.h"

#include <windows.h>
#include <commctrl.h>

namespace kzsfx::win32 {

bool LoadCommonControls() {
  // On the main thread, with no other activation context pushed, the process's own (from
  // the manifest) redirects the name to version 6 before any folder is searched. The module
  // stays loaded for the life of the process: the dialog's controls are classes it registers.
  HMODULE module = ::LoadLibraryExW(L"comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Windows 7 without KB2533623 knows no such flag; the manifest's redirection still applies.
  if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    module = ::LoadLibraryW(L"comctl32.dll");
  }
  if (module == nullptr) return false;
  using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  const auto init = reinterpret_cast<InitFunction>(
      reinterpret_cast<void*>(::GetProcAddress(module, "InitCommonControlsEx")));
  if (init == nullptr) return false;
  // Its answer is not the run's: a dialog whose class is missing fails to open, and the run
  // ends with an error there.
  const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  init(&controls);
  return true;
}

}  // namespace kzsfx::win32
