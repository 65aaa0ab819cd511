// Test program: a window with a registered DropTarget unit that writes every event it gets to
// a log, one line each: the event number and the text's bytes in hex.
//   drop_window --title TITLE --log PATH [--settings TTTT] [--timeout MS]
// TTTT: one digit per kind (text, HTML, URL, files), 1 = on; files only by default.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "resources/design_ids.h"
#include "tests/win32/fake_frame.h"
#include "ui/drop_target_unit.h"

namespace {

using namespace quillet;

constexpr WindowId kWindow = kMainWindow;
constexpr UnitId kUnit = kDropTargetUnit;
constexpr UINT_PTR kTimeoutTimer = 1;

std::wstring logPath;

void LogEvent(const EventRecord& record) {
  std::string line = std::to_string(record.event);
  line += ' ';
  const Text* text = record.arguments.empty() ? nullptr : record.arguments[0].text;
  static const char digits[] = "0123456789ABCDEF";
  for (unsigned char byte : text ? text->view() : std::string_view()) {
    line += digits[byte >> 4];
    line += digits[byte & 15];
  }
  line += '\n';
  if (FILE* log = _wfopen(logPath.c_str(), L"ab")) {
    std::fwrite(line.data(), 1, line.size(), log);
    std::fclose(log);
  }
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_TIMER:
      if (wparam == kTimeoutTimer) ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::wstring title;
  std::wstring settings = L"0001";
  UINT timeoutMs = 60000;
  for (int i = 1; i + 1 < count; i += 2) {
    const std::wstring name = arguments[i];
    if (name == L"--title")
      title = arguments[i + 1];
    else if (name == L"--log")
      logPath = arguments[i + 1];
    else if (name == L"--settings")
      settings = arguments[i + 1];
    else if (name == L"--timeout")
      timeoutMs = static_cast<UINT>(std::wcstoul(arguments[i + 1], nullptr, 10));
  }
  ::LocalFree(arguments);
  if (title.empty() || logPath.empty() || settings.size() != 4) return 2;

  ::OleInitialize(nullptr);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = L"QuilletDropWindow";
  ::RegisterClassExW(&windowClass);
  HWND window = ::CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, title.c_str(),
                                  WS_OVERLAPPEDWINDOW, 100, 100, 400, 300, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
  if (!window) return 1;

  std::vector<std::uint8_t> record = {1, 0, 0, 0};
  for (wchar_t digit : settings)
    record.insert(record.end(), {digit == L'1' ? std::uint8_t{1} : std::uint8_t{0}, 0, 0, 0});
  const UnitDesign design{kUnit, "DropTarget1", {0, 0, 0, 0}, false,
                          true,  false,         {},           DropTargetProperties{record}};
  testing::Frame().onEvent = LogEvent;
  if (!testing::Frame().Add(kWindow, design, window)) return 1;
  ::ShowWindow(window, SW_SHOW);
  ::UpdateWindow(window);
  // Visible before registered: a driver that waits for the registration finds it on screen.
  if (!RegisterDropWindow(kWindow, kUnit, window)) return 1;
  ::SetTimer(window, kTimeoutTimer, timeoutMs, nullptr);

  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  testing::Frame().Clear();
  ::OleUninitialize();
  return 0;
}
