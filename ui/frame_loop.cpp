// The frame's message loop and its end: the loop with its idle-time clean-up and key
// pre-translation, the exit routines, and the orderly and the fatal shutdown.
#include "ui/frame_loop.h"

#include <windows.h>
#include <ole2.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "ui/frame_state.h"

namespace quillet {
namespace {

void ShutDown(std::int32_t exitCode, bool fatal) {
  FrameState& state = State();
  ++state.eventSuppression;
  if (state.userInterfaceThread != 0 && ::GetCurrentThreadId() != state.userInterfaceThread) {
    // No other thread of ours ever shuts down; if one did, it ends the process outright.
    if (!state.shutdownStarted) ::ExitProcess(static_cast<UINT>(exitCode));
    return;
  }
  state.shutdownStarted = true;
  state.bindings.clear();
  if (!fatal) {
    // A window still open (an entry routine that returned without a loop) goes now, while
    // the frame can still hear from its units, and before OLE stops under its drop target.
    std::vector<std::unique_ptr<LiveWindow>> remaining = std::move(state.live);
    state.live.clear();
    remaining.clear();
  }
  state.designs = {};
  // Each routine once: the list is taken before any of them runs.
  std::vector<ExitRoutine> routines = std::move(state.exitRoutines);
  state.exitRoutines.clear();
  for (ExitRoutine routine : routines) routine();
  // After a fatal error a window procedure may still be on the stack: nothing is freed.
  if (!fatal) ReleaseRetired();
  state.hiddenOwner.Reset();
  if (state.oleStarted) {
    state.oleStarted = false;
    ::OleUninitialize();
  }
}

}  // namespace

int RunProgram(int (*startProgram)()) {
  startProgram();
  ShutDownFrame(0);
  return State().quitCode;
}

void RegisterExitRoutine(ExitRoutine routine) {
  std::vector<ExitRoutine>& routines = State().exitRoutines;
  if (!routine || std::find(routines.begin(), routines.end(), routine) != routines.end()) return;
  routines.push_back(routine);
}

void RunMessageLoop() {
  FrameState& state = State();
  state.messageLoopStarted = true;
  if (state.live.empty()) return;  // Created may have destroyed the window already
  MSG message;
  for (;;) {
    if (!::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) ReleaseRetired();  // idle
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      state.quitCode = static_cast<std::int32_t>(message.wParam);
      return;
    }
    if (got == -1) return;
    if (message.message == WM_KEYDOWN) {
      HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
      auto owner = std::find_if(state.live.begin(), state.live.end(), [root](const auto& live) {
        return live->window && live->window->hwnd() == root;
      });
      if (owner != state.live.end() && (*owner)->window->PreTranslateKey(message)) continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

void ShutDownFrame(std::int32_t exitCode) { ShutDown(exitCode, false); }

void ShutDownFrameAfterFatalError() {
  State().exitRoutines.clear();  // dropped without running
  ShutDown(-1, true);
}

}  // namespace quillet
