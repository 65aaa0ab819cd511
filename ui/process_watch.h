// Learning that a started process (or a worker thread) has ended without blocking the
// user-interface thread.
#pragma once

#include <windows.h>

#include <functional>

#include "base/win32_handles.h"

namespace quillet {

// The platform's wait pool notices the end and posts a message to a hidden window of the
// thread that made the watch; onEnd then runs on that thread from its message loop (or a
// modal one). Destroying the watch first cancels it: onEnd never runs after that.
class ProcessWatch {
 public:
  ProcessWatch(HANDLE process, std::function<void()> onEnd);
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;
  ~ProcessWatch();

  // Whether the wait was set up; without it onEnd never runs.
  bool Watching() const { return wait_ != nullptr; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM, LPARAM);
  static void CALLBACK Ended(void* window, BOOLEAN timedOut);

  std::function<void()> onEnd_;
  AutoWindow window_;
  HANDLE wait_ = nullptr;
};

}  // namespace quillet
