// Test helper: runs the application frame on the stored main window design, with extra event
// bindings, and writes what happens to a log file. A scenario name picks what goes wrong.
#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "base/memory.h"
#include "resources/design.h"
#include "resources/design_ids.h"
#include "tools/unallocatable.h"
#include "ui/frame.h"
#include "ui/unit.h"
#include "ui/window_design.h"

namespace {

using namespace quillet;

constexpr WindowId kMain = kMainWindow;
constexpr UnitId kMainUnit = kMainWindowUnit;
constexpr WindowId kMissingWindow = 0x52019999;
constexpr UnitId kMissingUnit = 0x16019999;

std::string_view scenario;
const char* logPath = nullptr;
const char* capturePath = nullptr;

void Log(const char* format, auto... values) {
  std::FILE* log = std::fopen(logPath, "ab");
  if (!log) return;
  std::fprintf(log, format, values...);
  std::fputc('\n', log);
  std::fclose(log);
}

HWND MainHandle() { return GetWindowHandle(kMain, kMainUnit); }

std::vector<char> TitleOf(HWND hwnd) {
  std::vector<char> title(256);
  ::GetWindowTextA(hwnd, title.data(), static_cast<int>(title.size()));
  return title;
}

// Sees the window become visible, to tell what its caption was at that moment, and the keys it
// is handed, so a test knows they have arrived.
WNDPROC originalProcedure = nullptr;
LRESULT CALLBACK WatchingProcedure(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SHOWWINDOW && wparam) Log("shown title=[%s]", TitleOf(hwnd).data());
  if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
    Log("key %u", static_cast<unsigned>(wparam));
  return ::CallWindowProcA(originalProcedure, hwnd, message, wparam, lparam);
}

// The client area as a top-down 32-bit BMP, read back from the window's device context.
void CaptureClientArea(HWND hwnd) {
  RECT client{};
  ::GetClientRect(hwnd, &client);
  const int width = client.right;
  const int height = client.bottom;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC window = ::GetDC(hwnd);
  HDC memory = ::CreateCompatibleDC(window);
  HBITMAP bitmap = ::CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
  ::GdiFlush();
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(width * height * 4);
  if (std::FILE* out = std::fopen(capturePath, "wb")) {
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
    std::fwrite(bits, 4, static_cast<std::size_t>(width) * height, out);
    std::fclose(out);
  }
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(hwnd, window);
  Log("captured %dx%d", width, height);
}

void CALLBACK CaptureLater(HWND hwnd, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(hwnd, timer);
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  CaptureClientArea(hwnd);
}

std::int64_t OnMainWindowCreated(std::span<EventArgument>) {
  HWND hwnd = MainHandle();
  Log("created visible=%d title=[%s]", ::IsWindowVisible(hwnd) ? 1 : 0, TitleOf(hwnd).data());
  SetWindowTitle(kMain, kMainWindowTitle);
  Log("icons big=%d small=%d font=%d", ::SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0) != 0,
      ::SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0) != 0,
      ::SendMessageA(hwnd, WM_GETFONT, 0, 0) ==
          reinterpret_cast<LRESULT>(::GetStockObject(DEFAULT_GUI_FONT)));
  originalProcedure = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchingProcedure)));
  if (scenario == "destroy-in-created") ::DestroyWindow(hwnd);
  if (scenario == "capture" && capturePath) ::SetTimer(hwnd, 1, 700, CaptureLater);
  return 0;
}

std::int64_t OnFileReceived(std::span<EventArgument> arguments) {
  Log("file received [%s]",
      arguments.empty() || !arguments[0].text ? "" : arguments[0].text->c_str());
  return 0;
}

std::int64_t OnPositionChanged(std::span<EventArgument>) {
  Log("position changed");
  return 0;
}

std::int64_t OnSizeChanged(std::span<EventArgument>) {
  Log("size changed");
  return 0;
}

std::int64_t OnCloseQueryFirst(std::span<EventArgument>) {
  Log("close query 12");
  if (scenario == "fatal-oom") {
    Log("asking for memory");
    AllocateMemory(QUILLET_UNALLOCATABLE);
    Log("memory given");
  }
  if (scenario == "unknown-unit") {
    Log("asking for a missing unit");
    GetWindowHandle(kMain, kMissingUnit);
  }
  return 0;
}

std::int64_t OnCloseQuery(std::span<EventArgument> arguments) {
  Log("close query 1");
  if (scenario == "refuse-close-once") {
    static bool refused = false;
    if (!refused && !arguments.empty()) arguments[0].value = 1;
    Log("refused=%d", refused ? 0 : 1);
    refused = true;
  }
  return 0;
}

std::int64_t OnDestroyed(std::span<EventArgument>) {
  Log("destroyed");
  return 0;
}

int RaiseAndLog(const char* what, EventRecord record) {
  const int handled = RaiseEvent(record);
  Log("%s raised=%d", what, handled);
  return handled;
}

void ExitRoutineFirst() {
  Log("exit routine first");
  // Shutdown has begun: no handler may run any more.
  RaiseAndLog("position after shutdown",
              {.window = kMain, .unit = std::nullopt, .event = kPositionChanged, .arguments = {}});
}

void ExitRoutineSecond() {
  Log("exit routine second");
  // OLE must still be up while the exit routines run: it is stopped last.
  const HRESULT ole = ::OleInitialize(nullptr);
  Log("ole during exit routines %s", ole == S_FALSE ? "up" : "down");
  if (SUCCEEDED(ole)) ::OleUninitialize();
}

// Sees each label being created while the frame builds the window: events must be held back.
LRESULT CALLBACK WatchCreation(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND) {
    char name[32] = {};
    ::GetClassNameA(reinterpret_cast<HWND>(wparam), name, sizeof name);
    if (std::string_view(name) == "QuilletLabel") {
      RaiseAndLog(
          "while building",
          {.window = kMain, .unit = std::nullopt, .event = kPositionChanged, .arguments = {}});
    }
  }
  return ::CallNextHookEx(nullptr, code, wparam, lparam);
}

constexpr NamedHandler kRoutines[] = {
    {"OnMainWindowCreated", OnMainWindowCreated},
    {"OnFileReceived", OnFileReceived},
    {"OnPositionChanged", OnPositionChanged},
    {"OnSizeChanged", OnSizeChanged},
    {"OnCloseQueryFirst", OnCloseQueryFirst},
    {"OnCloseQuery", OnCloseQuery},
    {"OnDestroyed", OnDestroyed},
};

// The stored design with every window event bound, so the log shows each one.
constexpr EventBinding kWindowEvents[] = {
    {kCreated, "OnMainWindowCreated"}, {kPositionChanged, "OnPositionChanged"},
    {kSizeChanged, "OnSizeChanged"},   {kCloseQueryFirst, "OnCloseQueryFirst"},
    {kCloseQuery, "OnCloseQuery"},     {kDestroyed, "OnDestroyed"},
};

std::span<const WindowDesign> ProbeDesigns() {
  static std::vector<UnitDesign> units;
  static WindowDesign designs[1];
  const WindowDesign& stored = StoredWindowDesigns()[0];
  units.assign(stored.units.begin(), stored.units.end());
  units[0].events = kWindowEvents;
  if (scenario == "bad-design") std::swap(units[0], units[1]);  // the window unit not first
  designs[0] = {stored.id, units};
  return designs;
}

int StartProgram() {
  StartFrame(kRoutines, ProbeDesigns());
  std::vector<char> folder(MAX_PATH * 2);
  ::GetCurrentDirectoryA(static_cast<DWORD>(folder.size()), folder.data());
  Log("current folder [%s]", folder.data());
  Log("program folder [%s]", ProgramFolder().c_str());
  RegisterExitRoutine(ExitRoutineFirst);
  RegisterExitRoutine(ExitRoutineSecond);
  RegisterExitRoutine(ExitRoutineFirst);  // a duplicate: must run once

  if (scenario == "no-window") LoadStartWindow(kMissingWindow);
  if (scenario == "title-unknown-window") SetWindowTitle(kMissingWindow, "x");
  if (scenario == "title-not-loaded") SetWindowTitle(kMain, "x");
  if (scenario == "event-unbuilt-unit") {
    RaiseAndLog("unbuilt",
                {.window = kMain, .unit = std::nullopt, .event = kCreated, .arguments = {}});
  }
  HHOOK hook = ::SetWindowsHookExA(WH_CBT, WatchCreation, nullptr, ::GetCurrentThreadId());
  LoadStartWindow(kMain);
  ::UnhookWindowsHookEx(hook);
  const Unit* window = FindUnit(kMain, std::nullopt, false);
  Log("loaded live=%d visible=%d", window ? 1 : 0,
      window && ::IsWindowVisible(window->hwnd()) ? 1 : 0);
  if (scenario == "event-unknown-window") {
    RaiseAndLog("unknown window",
                {.window = kMissingWindow, .unit = std::nullopt, .event = 0, .arguments = {}});
  }
  if (scenario == "event-unknown-unit") {
    RaiseAndLog("unknown unit",
                {.window = kMain, .unit = kMissingUnit, .event = 0, .arguments = {}});
  }
  if (scenario == "unbound-event") {
    RaiseAndLog("unbound", {.window = kMain, .unit = kHintLabel, .event = 7, .arguments = {}});
  }
  RunMessageLoop();
  Log("loop returned");
  return 0;
}

}  // namespace

// frame_probe <scenario> <log-file> [capture.bmp]
int main(int argc, char** argv) {
  if (argc < 3) return 2;
  scenario = argv[1];
  logPath = argv[2];
  if (argc > 3) capturePath = argv[3];
  const int code = RunProgram(StartProgram);
  const HRESULT ole = ::OleInitialize(nullptr);
  Log("ole after shutdown %s", ole == S_OK ? "down" : "up");
  if (SUCCEEDED(ole)) ::OleUninitialize();
  Log("exit code %d", code);
  return code;
}
