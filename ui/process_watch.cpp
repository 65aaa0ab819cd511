// A process's end reported on the thread that asked, through a message to a hidden window.
#include "ui/process_watch.h"

#include <utility>

namespace quillet {

namespace {

constexpr UINT kProcessEnded = WM_APP + 1;
constexpr const char* kWindowClass = "QuilletProcessWatch";

bool RegisterWindowClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    return ::RegisterClassA(&windowClass) != 0;
  }();
  return registered;
}

}  // namespace

ProcessWatch::ProcessWatch(HANDLE process, std::function<void()> onEnd) : onEnd_(std::move(onEnd)) {
  if (!process || !RegisterWindowClass(&WindowProc)) return;
  window_.Reset(::CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr));
  if (!window_) return;
  ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  if (!::RegisterWaitForSingleObject(&wait_, process, &Ended, window_.Get(), INFINITE,
                                     WT_EXECUTEONLYONCE)) {
    wait_ = nullptr;
  }
}

ProcessWatch::~ProcessWatch() {
  // Waits for a callback already running; a message it posted dies with the window.
  if (wait_) ::UnregisterWaitEx(wait_, INVALID_HANDLE_VALUE);
  if (window_) ::SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
}

void CALLBACK ProcessWatch::Ended(void* window, BOOLEAN) {
  ::PostMessageA(static_cast<HWND>(window), kProcessEnded, 0, 0);
}

LRESULT CALLBACK ProcessWatch::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kProcessEnded) return ::DefWindowProcA(window, message, wParam, lParam);
  auto* watch = reinterpret_cast<ProcessWatch*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!watch || !watch->onEnd_) return 0;
  // onEnd may destroy the watch, and this window with it: nothing of it is touched after.
  const std::function<void()> onEnd = std::exchange(watch->onEnd_, nullptr);
  onEnd();
  return 0;
}

}  // namespace quillet
