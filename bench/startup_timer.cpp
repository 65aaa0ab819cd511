// Start-up time of GUI programs, side by side: starts each in turn, round after round, times
// the span from its creation until its window shows and its message loop runs (the first
// WM_PAINT is the loop's next message once its queue is empty), then closes it.
// Usage: startup_timer ROUNDS EXE...; prints one line per program: its median and every round
// in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct ProcessWindows {
  DWORD process;
  HWND shown;
  bool close;
};

BOOL CALLBACK VisitWindow(HWND window, LPARAM parameter) {
  auto* windows = reinterpret_cast<ProcessWindows*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != windows->process || !::IsWindowVisible(window)) return TRUE;
  if (windows->close) ::PostMessageW(window, WM_CLOSE, 0, 0);
  if ((::GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) windows->shown = window;
  return TRUE;
}

// The process's visible window with a title bar, polled for: Wine signals no event when a
// window shows (WaitForInputIdle returns as soon as OLE's start-up pumps its own messages).
HWND WaitForWindow(HANDLE process, DWORD id) {
  for (int tries = 0; tries < 60000; ++tries) {
    ProcessWindows windows{id, nullptr, false};
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&windows));
    if (windows.shown) return windows.shown;
    if (::WaitForSingleObject(process, 1) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

// Milliseconds from CreateProcess until the program's window shows and its message loop has
// answered a message sent to it. Negative when the program did not get there.
double TimeOneStart(const std::wstring& exe) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + exe + L"\"";
  LARGE_INTEGER frequency, begin, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&begin);
  if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
    return -1;
  }
  HWND window = WaitForWindow(process.hProcess, process.dwProcessId);
  DWORD_PTR answer = 0;
  const bool answered =
      window && ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &answer) != 0;
  ::QueryPerformanceCounter(&end);
  ProcessWindows windows{process.dwProcessId, nullptr, true};
  ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&windows));
  if (::WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
    ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, 10000);
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (!answered) return -1;
  return 1000.0 * static_cast<double>(end.QuadPart - begin.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  const int rounds = std::max(1, _wtoi(argv[1]));
  std::vector<std::vector<double>> times(static_cast<size_t>(argc - 2));
  for (int round = 0; round < rounds; ++round) {
    for (int i = 2; i < argc; ++i) {
      const double ms = TimeOneStart(argv[i]);
      if (ms < 0) {
        std::fwprintf(stderr, L"startup_timer: %ls showed no window\n", argv[i]);
        return 1;
      }
      times[static_cast<size_t>(i - 2)].push_back(ms);
    }
  }
  for (int i = 2; i < argc; ++i) {
    std::vector<double> sorted = times[static_cast<size_t>(i - 2)];
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    const double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    std::wprintf(L"%ls\t%.1f\t", argv[i], median);
    for (double ms : times[static_cast<size_t>(i - 2)]) std::wprintf(L" %.1f", ms);
    std::wprintf(L"\n");
  }
  return 0;
}
