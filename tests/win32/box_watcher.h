// Test support: finds the message boxes a thread shows, reads them and answers them, the
// way a user would (a button, Esc or the close box).
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quillet::testing {

enum class Answer { Click, Escape, CloseBox };

struct BoxSeen {
  std::string caption;
  std::string message;
  std::set<int> buttons;  // ids of the visible buttons
  bool topmost = false;
  HWND owner = nullptr;
};

inline BOOL CALLBACK KeepVisibleBox(HWND window, LPARAM found) {
  char name[16] = {};
  ::GetClassNameA(window, name, sizeof name);
  if (std::string(name) != "#32770" || !::IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// A visible dialog window of the given thread, or null.
inline HWND FindBox(DWORD thread) {
  HWND box = nullptr;
  ::EnumThreadWindows(thread, KeepVisibleBox, reinterpret_cast<LPARAM>(&box));
  return box;
}

// Returns once the box's thread takes messages again, that is once its dialog loop runs: a
// box is visible before that, and what is read or posted then races its set-up. Waiting on a
// sent message makes the wait end on the event itself, however slow the machine.
inline void WaitForBoxLoop(HWND box) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(box, WM_NULL, 0, 0, SMTO_NORMAL, 120000, &ignored);
}

inline std::string WindowText(HWND window) {
  char text[512] = {};
  ::GetWindowTextA(window, text, sizeof text);
  return text;
}

inline BoxSeen ReadBox(HWND box) {
  BoxSeen seen;
  seen.caption = WindowText(box);
  seen.topmost = (::GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  seen.owner = ::GetWindow(box, GW_OWNER);
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    char name[16] = {};
    ::GetClassNameA(child, name, sizeof name);
    if (!::IsWindowVisible(child)) continue;
    if (std::string(name) == "Button") seen.buttons.insert(::GetDlgCtrlID(child));
    if (std::string(name) == "Static" && !WindowText(child).empty())
      seen.message = WindowText(child);
  }
  return seen;
}

inline void AnswerBox(HWND box, Answer answer, int button = IDOK) {
  switch (answer) {
    case Answer::Click:
      ::PostMessageA(::GetDlgItem(box, button), BM_CLICK, 0, 0);
      break;
    case Answer::Escape:
      ::PostMessageA(box, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
      break;
    case Answer::CloseBox:
      ::PostMessageA(box, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
}

// Watches the creating thread from a helper thread while it lives: every box that thread
// shows is recorded and answered with the next scripted button (OK once the script is out).
class BoxWatcher {
 public:
  explicit BoxWatcher(std::deque<int> buttons = {})
      : buttons_(std::move(buttons)),
        watcher_([this, thread = ::GetCurrentThreadId()] { Watch(thread); }) {}
  ~BoxWatcher() { Stop(); }
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  // Everything seen so far; call after the code under test has returned.
  std::vector<BoxSeen> Stop() {
    stop_ = true;
    if (watcher_.joinable()) watcher_.join();
    return seen_;
  }

 private:
  void Watch(DWORD thread) {
    while (!stop_) {
      HWND box = FindBox(thread);
      if (!box) {
        ::Sleep(10);
        continue;
      }
      WaitForBoxLoop(box);
      seen_.push_back(ReadBox(box));
      int button = IDOK;
      if (!buttons_.empty()) {
        button = buttons_.front();
        buttons_.pop_front();
      }
      AnswerBox(box, Answer::Click, button);
      for (int i = 0; i < 500 && ::IsWindow(box) && ::IsWindowVisible(box); ++i) ::Sleep(10);
    }
  }

  std::deque<int> buttons_;
  std::vector<BoxSeen> seen_;
  std::atomic<bool> stop_{false};
  std::thread watcher_;
};

}  // namespace quillet::testing
