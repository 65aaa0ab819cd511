// Message boxes as the user meets them: a helper thread finds the box on the desktop, reads
// its caption, buttons and modality, and answers it with a button, Esc or the close box.
#include "ui/message_box.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <thread>

#include "base/win32_handles.h"
#include "tests/win32/box_watcher.h"

namespace quillet {
namespace {

using testing::Answer;
using testing::BoxSeen;

struct Seen {
  bool found = false;
  BoxSeen box;
  bool otherWindowEnabled = true;
};

// Waits for the box that `thread` shows, records what it looks like and answers it.
Seen WatchAndAnswer(DWORD thread, HWND otherWindow, Answer answer, int button) {
  Seen seen;
  HWND box = nullptr;
  for (int i = 0; i < 1000 && !box; ++i) {
    ::Sleep(10);
    box = testing::FindBox(thread);
  }
  if (!box) return seen;
  testing::WaitForBoxLoop(box);
  seen.found = true;
  seen.box = testing::ReadBox(box);
  seen.otherWindowEnabled = ::IsWindowEnabled(otherWindow) != FALSE;
  testing::AnswerBox(box, answer, button);
  return seen;
}

// A top-level window of the test's thread, to see whether the box disables it.
class OtherWindow {
 public:
  OtherWindow()
      : window_(::CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPED, 0, 0, 100, 50, nullptr,
                                  nullptr, nullptr, nullptr)) {}
  ~OtherWindow() { ::DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

struct Shown {
  std::int32_t result;
  Seen seen;
};

Shown Show(const char* message, std::int32_t flags, std::optional<TextView> caption, Answer answer,
           int button = 0, bool owned = false) {
  OtherWindow other;
  Shown shown{};
  std::thread answerer([&, thread = ::GetCurrentThreadId()] {
    shown.seen = WatchAndAnswer(thread, other.get(), answer, button);
  });
  shown.result = ShowMessageBox(message, flags, caption, owned ? other.get() : nullptr);
  answerer.join();
  EXPECT_TRUE(::IsWindowEnabled(other.get())) << "the box gives the window back";
  return shown;
}

const std::set<int> kOk = {IDOK};
const std::set<int> kOkCancel = {IDOK, IDCANCEL};

TEST(ShowMessageBox, ButtonSetsAnswersAndResults) {
  struct Case {
    const char* name;
    std::int32_t flags;
    Answer answer;
    int button;
    std::set<int> buttons;
    std::int32_t expected;
  } cases[] = {
      {"OK only: OK", 0, Answer::Click, IDOK, kOk, 0},
      {"OK only: Esc counts as OK", 0, Answer::Escape, 0, kOk, 0},
      {"OK only: close box counts as OK", 0, Answer::CloseBox, 0, kOk, 0},
      {"OK/Cancel: OK", 1, Answer::Click, IDOK, kOkCancel, 0},
      {"OK/Cancel: Cancel", 1, Answer::Click, IDCANCEL, kOkCancel, 1},
      {"OK/Cancel: Esc counts as Cancel", 1, Answer::Escape, 0, kOkCancel, 1},
      {"OK/Cancel: close box counts as Cancel", 1, Answer::CloseBox, 0, kOkCancel, 1},
      {"Abort", 2, Answer::Click, IDABORT, {IDABORT, IDRETRY, IDIGNORE}, 2},
      {"Retry", 2, Answer::Click, IDRETRY, {IDABORT, IDRETRY, IDIGNORE}, 3},
      {"Ignore", 2, Answer::Click, IDIGNORE, {IDABORT, IDRETRY, IDIGNORE}, 4},
      {"Yes", 3, Answer::Click, IDYES, {IDYES, IDNO, IDCANCEL}, 5},
      {"No", 4, Answer::Click, IDNO, {IDYES, IDNO}, 6},
      {"Retry/Cancel: Cancel", 5, Answer::Click, IDCANCEL, {IDRETRY, IDCANCEL}, 1},
      {"icon and default-button bits pass", 0x40 | 0x100 | 1, Answer::Click, IDCANCEL, kOkCancel,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Shown shown = Show("正文", c.flags, std::nullopt, c.answer, c.button);
    ASSERT_TRUE(shown.seen.found);
    EXPECT_EQ(shown.seen.box.buttons, c.buttons);
    EXPECT_EQ(shown.seen.box.message, "正文");
    EXPECT_EQ(shown.result, c.expected);
  }
}

TEST(ShowMessageBox, CaptionDefaultsToInformation) {
  struct Case {
    std::optional<TextView> caption;
    std::string expected;
  } cases[] = {
      {std::nullopt, "信息："},
      {TextView(""), "信息："},  // the empty text is the absent text
      {TextView("错误"), "错误"},
  };
  for (const Case& c : cases) {
    const Shown shown = Show("x", 0, c.caption, Answer::Click, IDOK);
    ASSERT_TRUE(shown.seen.found);
    EXPECT_EQ(shown.seen.box.caption, c.expected);
  }
}

// Without an owner, task modality is what keeps the program's other windows from input.
TEST(ShowMessageBox, TaskModalUnlessSystemModal) {
  struct Case {
    std::int32_t flags;
    bool otherDisabled;
    bool topmost;
  } cases[] = {
      {0, true, false},       // shown as 0x2000
      {1, true, false},       // shown as 0x2001
      {0x1000, false, true},  // system modal, 0x2000 not added
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    const Shown shown = Show("x", c.flags, std::nullopt, Answer::Escape);
    ASSERT_TRUE(shown.seen.found);
    EXPECT_EQ(!shown.seen.otherWindowEnabled, c.otherDisabled);
    EXPECT_EQ(shown.seen.box.topmost, c.topmost);
    EXPECT_EQ(shown.seen.box.owner, nullptr);
  }
}

TEST(ShowMessageBox, OwnerIsPassedOn) {
  const Shown shown = Show("x", 0, std::nullopt, Answer::Click, IDOK, true);
  ASSERT_TRUE(shown.seen.found);
  EXPECT_NE(shown.seen.box.owner, nullptr);
  EXPECT_FALSE(shown.seen.otherWindowEnabled) << "the owner is disabled while the box is up";
  EXPECT_EQ(shown.result, 0);
}

// A box whose owner is no window cannot be shown. Nobody pressed OK, so OK must not come back:
// the converter would take it as consent to replace an executable.
TEST(ShowMessageBox, ABoxThatCannotBeShownIsNotAnAnswer) {
  HWND noWindow = nullptr;
  {
    const AutoWindow gone(
        ::CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(gone);
    noWindow = gone.Get();
  }
  ASSERT_FALSE(::IsWindow(noWindow));
  for (const std::int32_t flags : {0, 1}) {
    SCOPED_TRACE(flags);
    EXPECT_EQ(ShowMessageBox("x", flags, std::nullopt, noWindow), kMessageBoxNotShown);
  }
}

}  // namespace
}  // namespace quillet
