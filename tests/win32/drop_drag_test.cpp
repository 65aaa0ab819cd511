// Real drags onto a DropTarget unit: in process through the platform's drag loop, and from
// drag_driver in another process onto drop_window, checking what arrives and which effect the
// source is told.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/win32_handles.h"
#include "resources/design_ids.h"
#include "tests/input_path.h"
#include "tests/native/test_bytes.h"
#include "tests/win32/fake_frame.h"
#include "tests/win32/scratch_folder.h"
#include "tools/file_drag.h"
#include "ui/drop_target_unit.h"

namespace quillet {
namespace {

using testing::Bytes;
using testing::Frame;

constexpr WindowId kWindow = kMainWindow;
constexpr UnitId kUnit = kDropTargetUnit;
constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

std::wstring Wide(const std::string& ansi) {
  std::wstring wide(ansi.size(), L'\0');
  wide.resize(static_cast<std::size_t>(
      ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                            static_cast<int>(wide.size()))));
  return wide;
}

std::wstring InputProgram(const char* name) { return Wide(testing::InputPath(name)); }

void PumpFor(DWORD milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + milliseconds;
  MSG message;
  while (::GetTickCount64() < end) {
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
    ::Sleep(10);
  }
}

// A plain window class: a static control would answer HTTRANSPARENT and never be dropped on.
const char* PlainWindowClass() {
  static const char* name = [] {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ::DefWindowProcA;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QuilletDropDragTest";
    ::RegisterClassExA(&windowClass);
    return windowClass.lpszClassName;
  }();
  return name;
}

// The in-process drags: this thread's own window, unit and drag loop.
class InProcessDragTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    window_ = AutoWindow(::CreateWindowExA(WS_EX_TOPMOST, PlainWindowClass(), "in-process drop",
                                           WS_OVERLAPPED | WS_VISIBLE, 150, 150, 300, 200, nullptr,
                                           nullptr, nullptr, nullptr));
    ASSERT_TRUE(window_);
    design_ = UnitDesign{kUnit, "DropTarget1", {0, 0, 0, 0}, false,
                         true,  false,         {},           DropTargetProperties{record_}};
    ASSERT_TRUE(Frame().Add(kWindow, design_, window_.Get()));
    ASSERT_TRUE(RegisterDropWindow(kWindow, kUnit, window_.Get()));
    PumpFor(200);
    const std::optional<POINT> point = tools::FindDropPoint(window_.Get());
    ASSERT_TRUE(point) << "the test window is covered";
    ::SetCursorPos(point->x, point->y);
  }
  void TearDown() override {
    Frame().Clear();
    window_.Reset();
    ::OleUninitialize();
  }

  const std::vector<std::uint8_t> record_ = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                             0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  UnitDesign design_{};
  AutoWindow window_;
};

TEST_F(InProcessDragTest, ADropRaisesFileReceivedWithTheTextByReference) {
  struct Seen {
    WindowId window;
    std::optional<UnitId> unit;
    EventNumber event;
    std::size_t arguments;
    std::string text;
  };
  std::vector<Seen> seen;
  Frame().onEvent = [&seen](EventRecord& record) {
    Text* cell = record.arguments.empty() ? nullptr : record.arguments[0].text;
    seen.push_back({record.window, record.unit, record.event, record.arguments.size(),
                    cell ? std::string(cell->view()) : "<no cell>"});
    if (cell) *cell = Text("the handler's own text");  // released by the unit afterwards
  };

  const tools::DragResult drag = tools::DragFiles({L"C:\\dl\\pack.kz", L"D:\\b.zip"}, kAll, {});
  EXPECT_EQ(drag.result, E_FAIL);
  EXPECT_EQ(drag.effect, static_cast<DWORD>(DROPEFFECT_COPY));
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].window, kWindow);
  EXPECT_EQ(seen[0].unit, std::optional<UnitId>(kUnit));
  EXPECT_EQ(seen[0].event, kFileReceived);
  EXPECT_EQ(seen[0].arguments, 1u);
  EXPECT_EQ(seen[0].text, "C:\\dl\\pack.kz\r\nD:\\b.zip\r\n");
}

TEST_F(InProcessDragTest, AHandlerThatDestroysTheWindowEndsTheUnitSafely) {
  int events = 0;
  Frame().onEvent = [this, &events](EventRecord&) {
    ++events;
    ::DestroyWindow(window_.Get());  // the unit ends inside its own Drop
  };
  const tools::DragResult drag = tools::DragFiles({L"C:\\a.kz"}, kAll, {});
  EXPECT_EQ(drag.result, E_FAIL);
  EXPECT_EQ(events, 1);
  EXPECT_EQ(Frame().destroyed.size(), 1u);
  EXPECT_TRUE(Frame().units.empty());
  window_.Release();
}

// The cross-process drags: drop_window in one process, drag_driver in another.
class Process {
 public:
  // Starts the command line; with `capture`, the standard output is collected by Finish.
  Process(const std::wstring& commandLine, bool capture) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    AutoHandle writeEnd;
    if (capture) {
      HANDLE read = nullptr, write = nullptr;
      ::CreatePipe(&read, &write, &inherit, 0);
      ::SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
      output_ = AutoHandle(read);
      writeEnd = AutoHandle(write);
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdOutput = write;
      startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
      startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    }
    std::wstring mutableLine = commandLine;
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, capture, 0, nullptr,
                         nullptr, &startup, &info)) {
      process_ = AutoHandle(info.hProcess);
      ::CloseHandle(info.hThread);
    }
  }

  bool started() const { return process_.Valid(); }

  // The exit code, or nothing when it did not end in time; the output read so far.
  std::optional<DWORD> Finish(DWORD timeoutMs, std::string* output = nullptr) {
    if (output && output_) {
      char buffer[512];
      DWORD read = 0;
      while (::ReadFile(output_.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        output->append(buffer, read);
      }
    }
    if (::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) {
      ::TerminateProcess(process_.Get(), 99);
      return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.Get(), &code);
    return code;
  }

 private:
  AutoHandle process_;
  AutoHandle output_;
};

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

struct CrossProcessCase {
  const char* name;
  std::vector<std::wstring> paths;
  const wchar_t* keys;
  const wchar_t* effects;
  std::string expectedOutput;  // the driver's report
  std::string expectedText;    // what FileReceived carried; empty: no event
};

TEST(CrossProcessDrag, TheDriverDropsFilesOntoAnotherProcesssWindow) {
  const std::string gbk = Bytes("B2 E2 CA D4");
  const CrossProcessCase cases[] = {
      {"one file",
       {L"C:\\dl\\pack.kz"},
       L"none",
       L"copy,move,link",
       "hr=0x80004005 E_FAIL effect=1 copy",
       "C:\\dl\\pack.kz"},
      {"two files",
       {L"C:\\dl\\a.kz", L"C:\\dl\\b c.zip"},
       L"none",
       L"copy,move,link",
       "hr=0x80004005 E_FAIL effect=1 copy",
       "C:\\dl\\a.kz\r\nC:\\dl\\b c.zip\r\n"},
      {"Ctrl+Shift delivers nothing",
       {L"C:\\dl\\pack.kz"},
       L"ctrl+shift",
       L"copy,move,link",
       "hr=0x00040100 DRAGDROP_S_DROP effect=0 none",
       ""},
      {"Shift moves",
       {L"C:\\dl\\pack.kz"},
       L"shift",
       L"copy,move,link",
       "hr=0x80004005 E_FAIL effect=2 move",
       "C:\\dl\\pack.kz"},
      {"Ctrl without copy allowed",
       {L"C:\\dl\\pack.kz"},
       L"ctrl",
       L"move,link",
       "hr=0x00040100 DRAGDROP_S_DROP effect=0 none",
       ""},
      {"link only",
       {L"C:\\dl\\pack.kz"},
       L"none",
       L"link",
       "hr=0x80004005 E_FAIL effect=4 link",
       "C:\\dl\\pack.kz"},
      {"a Chinese name arrives as GBK",
       {L"C:\\\u6d4b\u8bd5.zip"},
       L"none",
       L"copy",
       "hr=0x80004005 E_FAIL effect=1 copy",
       "C:\\" + gbk + ".zip"},
  };

  testing::ScratchFolder scratch("drop-drag");
  const std::string logPath = scratch / "events.log";
  const std::wstring title = L"drop-drag-" + std::to_wstring(::GetCurrentProcessId());
  Process window(Quoted(InputProgram("DROP_WINDOW")) + L" --title " + Quoted(title) + L" --log " +
                     Quoted(Wide(logPath)) + L" --timeout 120000",
                 false);
  ASSERT_TRUE(window.started());

  std::string log;
  for (const CrossProcessCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring command = Quoted(InputProgram("DRAG_DRIVER")) + L" --title " + Quoted(title) +
                           L" --keys " + c.keys + L" --effects " + c.effects + L" --timeout 20000";
    for (const std::wstring& path : c.paths) command += L" " + Quoted(path);
    Process driver(command, true);
    ASSERT_TRUE(driver.started());
    std::string output;
    EXPECT_EQ(driver.Finish(30000, &output), std::optional<DWORD>(0));
    EXPECT_EQ(output.substr(0, output.find_first_of("\r\n")), c.expectedOutput);

    // The event is logged inside Drop, so it is there once the driver has returned.
    const std::string grown = testing::ReadBytes(logPath);
    ASSERT_GE(grown.size(), log.size());
    const std::string added = grown.substr(log.size());
    log = grown;
    EXPECT_EQ(added, c.expectedText.empty() ? "" : "3 " + Hex(c.expectedText) + "\n");
  }

  HWND target = ::FindWindowW(nullptr, title.c_str());
  ASSERT_TRUE(target);
  ::PostMessageW(target, WM_CLOSE, 0, 0);
  EXPECT_EQ(window.Finish(20000), std::optional<DWORD>(0));
}

TEST(CrossProcessDrag, TheDriverTimesOutWithoutARegisteredWindow) {
  const std::wstring title = L"no-such-drop-window-" + std::to_wstring(::GetCurrentProcessId());
  Process driver(Quoted(InputProgram("DRAG_DRIVER")) + L" --title " + Quoted(title) +
                     L" --timeout 500 C:\\a.kz",
                 true);
  std::string output;
  EXPECT_EQ(driver.Finish(20000, &output), std::optional<DWORD>(3));
  EXPECT_EQ(output, "");
}

}  // namespace
}  // namespace quillet
