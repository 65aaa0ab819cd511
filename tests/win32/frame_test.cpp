// The application frame and the main window end to end: frame_probe runs in its own process
// and this test watches it from outside with Win32 calls, the way a user or the system would.
#include <windows.h>
#include <png.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/input_path.h"
#include "tests/win32/box_watcher.h"
#include "resources/banner.h"
#include "resources/design_ids.h"
#include "ui/picture_composite.h"
#include "tools/unallocatable.h"

namespace {

using quillet::testing::BoxSeen;
using quillet::testing::FindBox;
using quillet::testing::ReadBox;
using quillet::testing::WaitForBoxLoop;

const std::string kShownTitle = std::string("shown title=[") + quillet::kMainWindowTitle + "]";

std::string ProbePath() { return quillet::testing::InputPath("QUILLET_FRAME_PROBE"); }
std::string OutputFolder() { return quillet::testing::InputPath("QUILLET_FRAME_OUTPUT"); }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int Count(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// Position of a line in the log, or -1.
int IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  auto found = std::find(lines.begin(), lines.end(), line);
  return found == lines.end() ? -1 : static_cast<int>(found - lines.begin());
}

struct WindowSearch {
  DWORD process;
  HWND found;
};

BOOL CALLBACK KeepProbeWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  char name[32] = {};
  ::GetClassNameA(window, name, sizeof name);
  if (owner != search->process || std::string(name) != "QuilletWindow" ||
      !::IsWindowVisible(window)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// One run of frame_probe: started, watched, and never left behind.
class Probe {
 public:
  Probe(const std::string& scenario, const std::string& name,
        std::optional<std::string> program = std::nullopt,
        std::optional<std::string> currentFolder = std::nullopt)
      : log_(OutputFolder() + "\\frame_" + name + ".log"),
        capture_(OutputFolder() + "\\frame_" + name + ".bmp") {
    ::DeleteFileA(log_.c_str());
    const std::string exe = program.value_or(ProbePath());
    std::string command = "\"" + exe + "\" " + scenario + " \"" + log_ + "\" \"" + capture_ + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = ::CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                currentFolder ? currentFolder->c_str() : nullptr, &startup,
                                &process_) != FALSE;
  }
  ~Probe() {
    if (!started_) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.hProcess, 99);
      ::WaitForSingleObject(process_.hProcess, 5000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  bool started() const { return started_; }
  const std::string& capture() const { return capture_; }
  std::vector<std::string> Log() const { return Lines(ReadWholeFile(log_)); }

  // The probe's visible main window, once it is shown.
  HWND WaitForWindow(DWORD milliseconds = 15000) const {
    for (DWORD waited = 0; waited < milliseconds; waited += 20) {
      WindowSearch search{process_.dwProcessId, nullptr};
      ::EnumWindows(KeepProbeWindow, reinterpret_cast<LPARAM>(&search));
      if (search.found) return search.found;
      if (Exited(0)) return nullptr;
      ::Sleep(20);
    }
    return nullptr;
  }

  // The error box of the probe's thread, read, then answered with OK.
  std::optional<BoxSeen> WaitForBox(bool answer = true, DWORD milliseconds = 15000) const {
    for (DWORD waited = 0; waited < milliseconds; waited += 20) {
      if (HWND box = FindBox(process_.dwThreadId)) {
        WaitForBoxLoop(box);
        BoxSeen seen = ReadBox(box);
        if (answer) quillet::testing::AnswerBox(box, quillet::testing::Answer::Click, IDOK);
        return seen;
      }
      if (Exited(0)) return std::nullopt;
      ::Sleep(20);
    }
    return std::nullopt;
  }

  bool Exited(DWORD milliseconds) const {
    return ::WaitForSingleObject(process_.hProcess, milliseconds) == WAIT_OBJECT_0;
  }

  // The exit code, or 99 when the probe had to be ended.
  DWORD ExitCode(DWORD milliseconds = 60000) const {
    if (!Exited(milliseconds)) return 99;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

 private:
  std::string log_;
  std::string capture_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

struct CloseCase {
  const char* name;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// Esc and Alt+F4 as posted key messages (the key tests with real input are in frame_keys).
const CloseCase kCloseCases[] = {
    {"close_message", WM_CLOSE, 0, 0},
    {"close_button", WM_SYSCOMMAND, SC_CLOSE, 0},
    {"escape", WM_KEYDOWN, VK_ESCAPE, 0x00010001},
    {"alt_f4", WM_SYSKEYDOWN, VK_F4, 0x203E0001},  // context bit 29: Alt held
};

TEST(FrameClose, EveryWayOfClosingEndsWithCodeZeroAndRunsTheExitRoutinesOnce) {
  for (const CloseCase& c : kCloseCases) {
    SCOPED_TRACE(c.name);
    Probe probe("normal", c.name);
    ASSERT_TRUE(probe.started());
    HWND window = probe.WaitForWindow();
    ASSERT_NE(window, nullptr);
    ::PostMessageA(window, c.message, c.wparam, c.lparam);
    EXPECT_EQ(probe.ExitCode(), 0u);
    const auto log = probe.Log();
    EXPECT_EQ(Count(log, "destroyed"), 1);
    EXPECT_EQ(Count(log, "exit routine first"), 1);  // registered twice, runs once
    EXPECT_EQ(Count(log, "exit routine second"), 1);
    EXPECT_LT(IndexOf(log, "loop returned"), IndexOf(log, "exit routine first"));
    EXPECT_LT(IndexOf(log, "exit routine first"), IndexOf(log, "exit routine second"));
    EXPECT_EQ(Count(log, "position after shutdown raised=0"), 1);
    EXPECT_EQ(Count(log, "ole during exit routines up"), 1);
    EXPECT_EQ(Count(log, "ole after shutdown down"), 1);
    EXPECT_EQ(Count(log, "exit code 0"), 1);
  }
}

TEST(FrameClose, KeysOtherThanEscapeDoNotClose) {
  Probe probe("normal", "other_keys");
  HWND window = probe.WaitForWindow();
  ASSERT_NE(window, nullptr);
  for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_F1}, WPARAM{'A'}}) {
    ::PostMessageA(window, WM_KEYDOWN, key, 0x00010001);
    ::PostMessageA(window, WM_KEYUP, key, 0xC0010001);
  }
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(probe.ExitCode(), 0u);
  // The window took every key and was still there for the close message that followed them.
  const auto log = probe.Log();
  for (const char* key : {"key 13", "key 112", "key 65"}) EXPECT_EQ(Count(log, key), 1) << key;
  EXPECT_LT(IndexOf(log, "key 65"), IndexOf(log, "close query 12"));
  EXPECT_EQ(Count(log, "destroyed"), 1);
}

TEST(FrameClose, ARefusingCloseQueryKeepsTheWindowOpen) {
  Probe probe("refuse-close-once", "refuse_close");
  HWND window = probe.WaitForWindow();
  ASSERT_NE(window, nullptr);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(probe.ExitCode(), 0u);
  const auto log = probe.Log();
  // Both closes reached the window: the refused one left it open for the second.
  EXPECT_EQ(Count(log, "close query 12"), 2);  // asked first, both times
  EXPECT_EQ(Count(log, "refused=1"), 1);
  EXPECT_EQ(Count(log, "destroyed"), 1);
}

TEST(FrameClose, DestroyingTheWindowInCreatedEndsTheLoopAtOnce) {
  Probe probe("destroy-in-created", "destroy_in_created");
  EXPECT_EQ(probe.ExitCode(), 0u);
  const auto log = probe.Log();
  EXPECT_EQ(Count(log, "loaded live=0 visible=0"), 1);
  EXPECT_EQ(Count(log, "position changed"), 0);  // no longer raised for a destroyed window
  EXPECT_EQ(Count(log, "loop returned"), 1);
  EXPECT_EQ(Count(log, "exit routine first"), 1);
}

TEST(FrameStart, CreatedRunsHiddenThenOneMoveAndSizeThenTheWindowShowsItsTitle) {
  Probe probe("normal", "start_order");
  HWND window = probe.WaitForWindow();
  ASSERT_NE(window, nullptr);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(probe.ExitCode(), 0u);
  const auto log = probe.Log();  // complete: the probe has ended

  // Nothing reached a handler while the window was built: events raised as each label was
  // created were held back, and Created is the first event to arrive.
  const int created = IndexOf(log, "created visible=0 title=[]");
  ASSERT_GE(created, 0);
  EXPECT_EQ(Count(log, "while building raised=0"), 2);
  EXPECT_EQ(Count(log, "while building raised=1"), 0);
  EXPECT_LT(IndexOf(log, "while building raised=0"), created);
  EXPECT_EQ(created, 4);  // after the two folder lines and the two held-back events
  EXPECT_EQ(Count(log, "position changed"), 1);
  EXPECT_EQ(Count(log, "size changed"), 1);
  EXPECT_LT(created, IndexOf(log, "position changed"));
  EXPECT_LT(IndexOf(log, "position changed"), IndexOf(log, "size changed"));
  EXPECT_LT(IndexOf(log, "size changed"), IndexOf(log, kShownTitle));
  EXPECT_LT(IndexOf(log, kShownTitle), IndexOf(log, "loaded live=1 visible=1"));
}

TEST(FrameStart, TheProgramFolderBecomesCurrentWhereverTheProgramStarts) {
  // 嘰's second byte is 0x5C: a byte-wise search would split the path inside the name.
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "quillet_frame_嘰";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  const std::string program = folder + "\\探针嘰.exe";
  ASSERT_TRUE(::CopyFileA(ProbePath().c_str(), program.c_str(), FALSE));

  struct Start {
    const char* name;
    std::string exe;
    std::string expected;
  };
  const std::string probeFolder = ProbePath().substr(0, ProbePath().rfind('\\'));
  const Start starts[] = {{"folder_plain", ProbePath(), probeFolder},
                          {"folder_double_byte", program, folder}};
  for (const Start& start : starts) {
    SCOPED_TRACE(start.name);
    Probe probe("destroy-in-created", start.name, start.exe, std::string(temp));
    EXPECT_EQ(probe.ExitCode(), 0u);
    const auto log = probe.Log();
    EXPECT_EQ(Count(log, "current folder [" + start.expected + "]"), 1) << log.front();
    EXPECT_EQ(Count(log, "program folder [" + start.expected + "]"), 1);
  }
  ::DeleteFileA(program.c_str());
  ::RemoveDirectoryA(folder.c_str());
}

struct FatalCase {
  const char* scenario;
  bool closeToTrigger;  // the fault sits in the close query handler
  const char* message;
};

const FatalCase kFatalCases[] = {
    {"bad-design", false, "载入窗口模板数据段出错!"},
    {"no-window", false, "载入启动窗口失败"},
    {"title-unknown-window", false, "未载入欲访问窗口组件所在的窗口"},
    {"title-not-loaded", false, "指定窗口尚未载入"},
    {"event-unbuilt-unit", false, "引发事件的窗口组件无效"},
    {"event-unknown-window", false, "未找到引发事件的窗口"},
    {"event-unknown-unit", false, "未找到引发事件的窗口组件"},
    {"unknown-unit", true, "指定窗口或窗口组件不存在或尚未载入"},
    {"fatal-oom", true, "分配 " QUILLET_UNALLOCATABLE_BYTES " 字节内存失败!"},
};

TEST(FrameFatal, EveryFatalErrorShowsItsReportAndEndsWithMinusOne) {
  for (const FatalCase& c : kFatalCases) {
    SCOPED_TRACE(c.scenario);
    Probe probe(c.scenario, std::string("fatal_") + c.scenario);
    ASSERT_TRUE(probe.started());
    if (c.closeToTrigger) {
      HWND window = probe.WaitForWindow();
      ASSERT_NE(window, nullptr);
      ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    const std::optional<BoxSeen> box = probe.WaitForBox();
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, "错误");
    EXPECT_EQ(box->message, std::string("运行时出错!\r\n\r\n错误信息：") + c.message + "\r\n");
    EXPECT_EQ(probe.ExitCode(), 0xFFFFFFFFu);
    const auto log = probe.Log();
    EXPECT_EQ(Count(log, "exit routine first"), 0);  // dropped without running
    EXPECT_EQ(Count(log, "exit routine second"), 0);
    EXPECT_EQ(Count(log, "memory given"), 0);
    EXPECT_EQ(Count(log, "exit code 0"), 0);
  }
}

TEST(FrameFatal, NoHandlerRunsWhileTheReportIsOpen) {
  Probe probe("fatal-oom", "fatal_box_open");
  HWND window = probe.WaitForWindow();
  ASSERT_NE(window, nullptr);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(probe.WaitForBox(false).has_value());
  // The window still takes messages: moves, sizes and closes, yet none reaches a handler.
  ::SetWindowPos(window, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(window, nullptr, 0, 0, 300, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  DWORD_PTR answer = 0;
  EXPECT_NE(::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &answer), 0);
  ::PostMessageA(window, WM_CLOSE, 0, 0);  // destroys the window, but the report stays up
  for (int i = 0; i < 1500 && ::IsWindow(window); ++i) ::Sleep(20);
  ASSERT_FALSE(::IsWindow(window));  // every message above has been handled
  const auto during = probe.Log();
  const int asked = IndexOf(during, "asking for memory");
  ASSERT_GE(asked, 0);
  EXPECT_EQ(static_cast<int>(during.size()), asked + 1) << during.back();
  std::optional<BoxSeen> box = probe.WaitForBox();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(probe.ExitCode(), 0xFFFFFFFFu);
}

struct ChildSeen {
  std::string className;
  std::string text;
  RECT rect;  // client coordinates of the main window
  bool visible;
  LONG style;
  LONG exStyle;
};

std::vector<ChildSeen> Children(HWND window) {
  std::vector<ChildSeen> children;
  for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    ChildSeen seen{};
    char name[64] = {};
    ::GetClassNameA(child, name, sizeof name);
    seen.className = name;
    seen.text = quillet::testing::WindowText(child);
    ::GetWindowRect(child, &seen.rect);
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&seen.rect), 2);
    seen.visible = ::IsWindowVisible(child) != FALSE;
    seen.style = ::GetWindowLongA(child, GWL_STYLE);
    seen.exStyle = ::GetWindowLongA(child, GWL_EXSTYLE);
    children.push_back(seen);
  }
  return children;
}

TEST(MainWindowBuilt, HasTheDesignedFrameGeometryIconsFontAndUnits) {
  Probe probe("normal", "geometry");
  HWND window = probe.WaitForWindow();
  ASSERT_NE(window, nullptr);

  RECT outer{};
  ::GetWindowRect(window, &outer);
  EXPECT_EQ(outer.right - outer.left, 235);
  EXPECT_EQ(outer.bottom - outer.top, 260);
  const int screenWidth = ::GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = ::GetSystemMetrics(SM_CYSCREEN);
  EXPECT_EQ(outer.left, (screenWidth - 235) / 2);
  EXPECT_EQ(outer.top, (screenHeight - 260) / 2);
  if (screenWidth == 1024 && screenHeight == 768) {
    EXPECT_EQ(outer.left, 394);
    EXPECT_EQ(outer.top, 254);
  }

  const auto style = static_cast<DWORD>(::GetWindowLongA(window, GWL_STYLE));
  for (DWORD bit : {DWORD{WS_CLIPCHILDREN}, DWORD{WS_CAPTION}, DWORD{WS_SYSMENU},
                    DWORD{WS_DLGFRAME}, DWORD{WS_MINIMIZEBOX}}) {
    EXPECT_EQ(style & bit, bit) << std::hex << bit;
  }
  for (DWORD bit : {DWORD{WS_MAXIMIZEBOX}, DWORD{WS_THICKFRAME}, DWORD{WS_CHILD},
                    DWORD{WS_DISABLED}, DWORD{WS_POPUP}}) {
    EXPECT_EQ(style & bit, 0u) << std::hex << bit;
  }
  const auto exStyle = static_cast<DWORD>(::GetWindowLongA(window, GWL_EXSTYLE));
  EXPECT_EQ(exStyle & (WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_CLIENTEDGE | WS_EX_APPWINDOW), 0u);
  EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr);  // unowned: it has a taskbar button

  const auto classStyle = static_cast<UINT>(::GetClassLongA(window, GCL_STYLE));
  EXPECT_EQ(classStyle & (CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS),
            UINT{CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS});
  EXPECT_EQ(::GetClassLongPtrA(window, GCLP_HBRBACKGROUND), 0);
  // Wine answers WM_GETICON and WM_GETFONT from another process with 0: the probe asks
  // its own window and logs the answers.
  EXPECT_EQ(Count(probe.Log(), "icons big=1 small=1 font=1"), 1);
  EXPECT_EQ(quillet::testing::WindowText(window), quillet::kMainWindowTitle);

  // The units: two visible labels and the drop target's window, hidden for good.
  const std::vector<ChildSeen> children = Children(window);
  ASSERT_EQ(children.size(), 3u);
  struct Expected {
    const char* text;
    RECT rect;
    bool visible;
  };
  const Expected expected[] = {
      {"quillet.app.cn", {72, 200, 168, 224}, true},
      {"测试版本！将目标拖进来即可", {24, 128, 208, 184}, true},
      {"", {8, 32, 208, 112}, false},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.text);
    auto found = std::find_if(children.begin(), children.end(), [&](const ChildSeen& c) {
      return c.rect.left == e.rect.left && c.rect.top == e.rect.top;
    });
    ASSERT_NE(found, children.end());
    EXPECT_EQ(found->text, e.text);
    EXPECT_EQ(found->rect.right, e.rect.right);
    EXPECT_EQ(found->rect.bottom, e.rect.bottom);
    EXPECT_EQ(found->visible, e.visible);
    EXPECT_EQ(found->style & (WS_CHILD | WS_CLIPSIBLINGS), WS_CHILD | WS_CLIPSIBLINGS);
    EXPECT_EQ(found->style & WS_BORDER, 0);
    EXPECT_EQ(found->exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME), 0);
  }

  // Once shown, a real move reaches its handler; the size stays, and so does the title
  // through minimising and restoring.
  ::SetWindowPos(window, nullptr, 100, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  const auto moved = probe.Log();
  EXPECT_EQ(Count(moved, "position changed"), 2);
  EXPECT_EQ(Count(moved, "size changed"), 1);
  ::PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  for (int i = 0; i < 1500 && !::IsIconic(window); ++i) ::Sleep(20);
  EXPECT_TRUE(::IsIconic(window));
  ::PostMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  // The restored rectangle can follow the style by a moment: wait for the window to be back.
  const auto restored = [&] {
    return !::IsIconic(window) && ::GetWindowRect(window, &outer) && outer.right - outer.left > 160;
  };
  for (int i = 0; i < 1500 && !restored(); ++i) ::Sleep(20);
  EXPECT_FALSE(::IsIconic(window));
  ::GetWindowRect(window, &outer);
  EXPECT_EQ(outer.left, 100);
  EXPECT_EQ(outer.right - outer.left, 235);
  EXPECT_EQ(outer.bottom - outer.top, 260);
  EXPECT_EQ(quillet::testing::WindowText(window), quillet::kMainWindowTitle);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(probe.ExitCode(), 0u);
}

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> bgra;  // top-down
  COLORREF At(int x, int y) const {
    const std::uint8_t* p = &bgra[(static_cast<std::size_t>(y) * width + x) * 4];
    return RGB(p[2], p[1], p[0]);
  }
};

std::optional<Image> ReadCapture(const std::string& path) {
  const std::string bytes = ReadWholeFile(path);
  if (bytes.size() < 54) return std::nullopt;
  BITMAPINFOHEADER header{};
  std::copy_n(bytes.data() + sizeof(BITMAPFILEHEADER), sizeof header,
              reinterpret_cast<char*>(&header));
  Image image{header.biWidth, -header.biHeight, {}};
  const std::size_t size = static_cast<std::size_t>(image.width) * image.height * 4;
  if (image.height <= 0 || bytes.size() < 54 + size) return std::nullopt;
  image.bgra.assign(bytes.begin() + 54, bytes.begin() + 54 + static_cast<std::ptrdiff_t>(size));
  return image;
}

// The banner as red, green, blue, alpha: decoded here in another order than the window uses.
std::vector<std::uint8_t> BannerRgba(int& width, int& height) {
  const auto png = quillet::BannerPng();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  std::vector<std::uint8_t> pixels;
  if (png_image_begin_read_from_memory(&image, png.data(), png.size())) {
    image.format = PNG_FORMAT_RGBA;
    pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) pixels.clear();
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  png_image_free(&image);
  return pixels;
}

TEST(MainWindowPaint, ShowsTheCompositedBannerClippedAndTheLabelsOnTheFaceColour) {
  Probe probe("capture", "paint");
  HWND window = probe.WaitForWindow();
  ASSERT_NE(window, nullptr);
  auto captured = [&probe] {
    const auto log = probe.Log();
    return std::any_of(log.begin(), log.end(),
                       [](const std::string& line) { return line.rfind("captured", 0) == 0; });
  };
  for (int i = 0; i < 200 && !captured(); ++i) ::Sleep(50);
  ::PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(probe.ExitCode(), 0u);
  const std::optional<Image> shot = ReadCapture(probe.capture());
  ASSERT_TRUE(shot.has_value()) << probe.capture();

  int bannerWidth = 0;
  int bannerHeight = 0;
  const std::vector<std::uint8_t> banner = BannerRgba(bannerWidth, bannerHeight);
  ASSERT_EQ(bannerWidth, 278);
  ASSERT_EQ(bannerHeight, 127);
  ASSERT_LT(shot->width, bannerWidth);  // the banner is wider than the client area: clipped
  ASSERT_GT(shot->height, bannerHeight + 100);

  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  int partial = 0;
  int wrong = 0;
  for (int y = 0; y < bannerHeight; ++y) {
    for (int x = 0; x < shot->width; ++x) {
      const std::uint8_t* p = &banner[(static_cast<std::size_t>(y) * bannerWidth + x) * 4];
      const COLORREF expected = RGB(quillet::CompositeChannel(p[0], GetRValue(face), p[3]),
                                    quillet::CompositeChannel(p[1], GetGValue(face), p[3]),
                                    quillet::CompositeChannel(p[2], GetBValue(face), p[3]));
      if (p[3] > 0 && p[3] < 255) ++partial;
      if (shot->At(x, y) != expected && ++wrong <= 5) {
        ADD_FAILURE() << "banner pixel " << x << "," << y << " is " << std::hex << shot->At(x, y)
                      << " not " << expected;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(partial, 1000);  // the visible part has plenty of partly transparent pixels

  // Below the banner: the face colour, apart from the labels' text.
  const RECT hint{24, 128, 208, 184};
  const RECT address{72, 200, 168, 224};
  int blackText = 0;
  int greyText = 0;
  wrong = 0;
  for (int y = bannerHeight; y < shot->height; ++y) {
    for (int x = 0; x < shot->width; ++x) {
      const POINT point{x, y};
      const COLORREF colour = shot->At(x, y);
      if (::PtInRect(&hint, point)) {
        blackText += colour == RGB(0, 0, 0);
      } else if (::PtInRect(&address, point)) {
        greyText += colour == RGB(0x80, 0x80, 0x80);
      } else if (colour != face && ++wrong <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << colour;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(blackText, 20);
  EXPECT_GT(greyText, 10);
  // The labels are opaque: their corners show the face colour, not the banner or black.
  EXPECT_EQ(shot->At(hint.left, hint.top), face);
  EXPECT_EQ(shot->At(address.right - 1, address.bottom - 1), face);
}

}  // namespace
