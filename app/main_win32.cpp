// The process entry: hands the whole life of the program to the converter's entry routine.
#include <windows.h>

#include "app/startup.h"
#include "base/dll_search.h"
#include "ui/frame.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything loads a DLL on demand (OLE, the drag-image helper, visual styles).
  quillet::RestrictDllSearch();
  // The command line is ignored: the program's only input is a drop.
  return quillet::RunProgram(&quillet::StartProgram);
}
