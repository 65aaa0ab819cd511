// DLL search restricted to System32, as early in the process as the program can.
#include "base/dll_search.h"

#include <windows.h>

namespace quillet {

void RestrictDllSearch() {
  // Looked up at run time: the call exists from Windows 8 (and Windows 7 with KB2533623) on.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Older systems: at least take the current folder out of the search.
  ::SetDllDirectoryA("");
}

}  // namespace quillet
