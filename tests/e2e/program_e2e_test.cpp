// Quillet end to end: the real program started with a private temporary folder, real drops
// from the drag driver, its message boxes answered as a user would, the produced
// executables run. Only what a real drop onto the running program shows; conversion_test
// covers the conversion's cases, drop_drag_test what a drag delivers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "app/stub_payload.h"
#include "tests/e2e/quillet_process.h"

namespace quillet::e2e {
namespace {

const char* const kTitle = "Quillet 0.1";
const char* const kOverwriteQuestion = "发现同名exe文件，确定覆盖？";
const char* const kCopyFailed = "生成exe文件失败，请检查目标文件夹是否可写";

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// How long each awaited event may take: 20 s, or E2E_TIMEOUT_MS where every process starts
// slowly (the 32-bit programs under emulation take a minute or more to start).
DWORD TimeoutMs() {
  static const DWORD timeoutMs = [] {
    const std::wstring value = EnvironmentPath("E2E_TIMEOUT_MS");
    const unsigned long parsed = value.empty() ? 0 : std::wcstoul(value.c_str(), nullptr, 10);
    return parsed > 0 ? static_cast<DWORD>(parsed) : DWORD{20000};
  }();
  return timeoutMs;
}

std::vector<std::uint8_t> Expected(const std::wstring& archive) {
  std::vector<std::uint8_t> bytes(StubPayload().begin(), StubPayload().end());
  const std::vector<std::uint8_t> tail = ReadBytes(archive);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

// Waits until the file holds exactly the expected bytes (the copy runs in its own process).
// The file is opened only once it has its full size: copy writes the stub, then reopens the
// output to append the archive, and a reader holding it just then would make that fail.
bool WaitForContent(const std::wstring& path, const std::vector<std::uint8_t>& expected) {
  const ULONGLONG deadline = ::GetTickCount64() + TimeoutMs();
  while (::GetTickCount64() < deadline) {
    if (FileSize(path) == expected.size() && ReadBytes(path) == expected) return true;
    ::Sleep(100);
  }
  return false;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    data_ = EnvironmentPath("E2E_DATA");
    ASSERT_FALSE(data_.empty()) << "E2E_DATA is not set";
    work_ =
        MakeScratchFolder(Widen(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    temp_ = work_ + L"\\temp";
    ::CreateDirectoryW(temp_.c_str(), nullptr);
  }

  void StartQuillet() {
    quillet_.emplace(Quoted(EnvironmentPath("QUILLET_EXE")), temp_);
    const ULONGLONG deadline = ::GetTickCount64() + TimeoutMs();
    while (!FindMainWindow(quillet_->id()) && ::GetTickCount64() < deadline) ::Sleep(10);
    ASSERT_TRUE(FindMainWindow(quillet_->id())) << "Quillet's window did not appear";
  }

  // Starts a drag of the given files onto the window; the driver waits while a box is open.
  ChildProcess& Drop(const std::vector<std::wstring>& paths, const std::wstring& keys = L"none") {
    std::wstring line = Quoted(EnvironmentPath("DRAG_DRIVER")) +
                        L" --title \"Quillet 0.1\" --keys " + keys + L" --timeout " +
                        std::to_wstring(TimeoutMs() / 2 * 3);
    for (const std::wstring& path : paths) line += L" " + Quoted(path);
    driverOutput_ = work_ + L"\\driver.txt";
    driver_.emplace(line, std::wstring{}, driverOutput_);
    return *driver_;
  }

  std::string DriverOutput() {
    EXPECT_TRUE(driver_->WaitForExit(TimeoutMs()).has_value()) << "the drag did not end";
    const std::vector<std::uint8_t> bytes = ReadBytes(driverOutput_);
    return {bytes.begin(), bytes.end()};
  }

  // Answers the box Quillet shows with the button and returns its message.
  std::string AnswerBox(int button) {
    HWND box = WaitForMessageBox(quillet_->id(), TimeoutMs());
    if (!box) return "(no message box)";
    EXPECT_EQ(WindowTitle(box), "信息：");
    const std::string message = BoxMessage(box);
    PressButton(box, button);
    for (int i = 0; i < 500 && ::IsWindow(box); ++i) ::Sleep(10);
    return message;
  }

  // Asks the window to close with Esc, as a user pressing the key in it would.
  std::optional<DWORD> CloseWithEscape() {
    const std::optional<WindowSeen> window = FindMainWindow(quillet_->id());
    if (!window) return std::nullopt;
    ::PostMessageA(window->window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageA(window->window, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    return quillet_->WaitForExit(TimeoutMs());
  }

  std::wstring Copy(const std::wstring& name) {
    const std::wstring path = work_ + L"\\" + name;
    ::CopyFileW((data_ + L"\\" + name).c_str(), path.c_str(), FALSE);
    return path;
  }

  std::wstring data_, work_, temp_, driverOutput_;
  std::optional<ChildProcess> quillet_;
  std::optional<ChildProcess> driver_;
};

TEST_F(ProgramTest, WindowFirstAppearsWithItsTitleAndTheStubAlreadyWritten) {
  quillet_.emplace(Quoted(EnvironmentPath("QUILLET_EXE")), temp_);
  const std::wstring stub = temp_ + L"\\kzsfx.tmp~1";
  std::optional<WindowSeen> first;
  std::vector<std::uint8_t> stubAtFirstSight;
  const ULONGLONG deadline = ::GetTickCount64() + TimeoutMs();
  while (!first && ::GetTickCount64() < deadline) {
    first = FindMainWindow(quillet_->id());
    if (first) stubAtFirstSight = ReadBytes(stub);
  }
  ASSERT_TRUE(first) << "Quillet's window did not appear";
  EXPECT_EQ(first->title, kTitle);
  const ByteView payload = StubPayload();
  EXPECT_TRUE(
      std::equal(payload.begin(), payload.end(), stubAtFirstSight.begin(), stubAtFirstSight.end()))
      << "the stub file holds " << stubAtFirstSight.size() << " bytes when the window appears";
  EXPECT_EQ(CloseWithEscape(), 0u);
  EXPECT_EQ(FileNames(temp_), std::vector<std::wstring>{L"kzsfx.tmp~1"});
}

// The temporary folder may be shared: a link planted under the stub's name must not make
// start-up write the stub into another file.
TEST_F(ProgramTest, StartUpWritesTheStubAnewBesideAPlantedLink) {
  const std::wstring victim = work_ + L"\\victim.txt";
  const std::vector<std::uint8_t> kept{'k', 'e', 'p', 't'};
  ASSERT_TRUE(WriteBytes(victim, kept));
  ASSERT_TRUE(::CreateHardLinkW((temp_ + L"\\kzsfx.tmp~1").c_str(), victim.c_str(), nullptr));
  StartQuillet();
  EXPECT_EQ(ReadBytes(victim), kept);
  const ByteView payload = StubPayload();
  EXPECT_EQ(ReadBytes(temp_ + L"\\kzsfx.tmp~1"),
            std::vector<std::uint8_t>(payload.begin(), payload.end()));
  EXPECT_EQ(CloseWithEscape(), 0u);
}

TEST_F(ProgramTest, DroppedZipBecomesAnExecutableThatExtractsTheArchive) {
  StartQuillet();
  const std::wstring archive = Copy(L"pack.zip");
  Drop({archive});
  const std::string driver = DriverOutput();
  EXPECT_NE(driver.find("effect=1 copy"), std::string::npos) << driver;
  const std::wstring exe = work_ + L"\\pack.exe";
  ASSERT_TRUE(WaitForContent(exe, Expected(archive)))
      << "pack.exe is not the stub followed by the archive";
  SaveScreenshot(EnvironmentPath("E2E_ARTIFACTS") + L"\\quillet-after-drop.bmp");

  const std::wstring out = work_ + L"\\out";
  ChildProcess extract(Quoted(exe) + L" -y " + Quoted(L"-o" + out));
  EXPECT_EQ(extract.WaitForExit(3 * TimeoutMs()), 0u);
  EXPECT_EQ(ReadTree(out), ReadTree(data_ + L"\\src"));

  EXPECT_EQ(CloseWithEscape(), 0u);
  EXPECT_EQ(FileNames(temp_), (std::vector<std::wstring>{L"kzsfx.tmp~1", L"kzsfx.tmp~1.bat"}));
}

// The question is asked inside the drop, while the dragging process waits for it to end.
TEST_F(ProgramTest, ExistingExecutableIsReplacedWhenTheQuestionInTheDropIsAnswered) {
  StartQuillet();
  const std::wstring archive = Copy(L"pack.zip");
  const std::wstring exe = work_ + L"\\pack.exe";
  ASSERT_TRUE(WriteBytes(exe, {'o', 'l', 'd'}));

  Drop({archive});
  EXPECT_EQ(AnswerBox(IDOK), kOverwriteQuestion);
  DriverOutput();
  EXPECT_TRUE(WaitForContent(exe, Expected(archive)));
  EXPECT_FALSE(FindMessageBox(quillet_->id())) << "a further question was asked";
  EXPECT_EQ(CloseWithEscape(), 0u);
}

// A dropped folder named like an archive is converted like a file and the copy fails. The
// program learns of it while its window goes on working, and says so.
TEST_F(ProgramTest, AFailedCopyIsReportedWhenItEnds) {
  StartQuillet();
  const std::wstring folder = work_ + L"\\folder.zip";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  Drop({folder});
  DriverOutput();
  EXPECT_EQ(AnswerBox(IDOK), kCopyFailed);
  EXPECT_EQ(CloseWithEscape(), 0u);
}

// Runs under code page 936 and, as program_e2e_test_cp1252, under 1252. There "é" is a
// character of one byte, which once swallowed the dot after it as if it began a two-byte
// character (the program learns the code page's lead bytes at start-up); and the interpreter
// reads the batch line in the OEM code page, where the ANSI byte of "é" is another letter.
TEST_F(ProgramTest, AWesternNameWithAccentsConvertsAndItsExecutableRuns) {
  StartQuillet();
  const std::wstring folder = work_ + L"\\caf\u00e9";
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring archive = folder + L"\\r\u00e9sum\u00e9.zip";
  ASSERT_TRUE(::CopyFileW((data_ + L"\\pack.zip").c_str(), archive.c_str(), FALSE));
  Drop({archive});
  DriverOutput();
  const std::wstring exe = folder + L"\\r\u00e9sum\u00e9.exe";
  ASSERT_TRUE(WaitForContent(exe, Expected(archive)))
      << "r\u00e9sum\u00e9.exe is not the stub followed by the archive";
  EXPECT_FALSE(FindMessageBox(quillet_->id()));

  const std::wstring out = work_ + L"\\out";
  ChildProcess extract(Quoted(exe) + L" -y " + Quoted(L"-o" + out));
  EXPECT_EQ(extract.WaitForExit(60000), 0u);
  EXPECT_EQ(ReadTree(out), ReadTree(data_ + L"\\src"));
  EXPECT_EQ(CloseWithEscape(), 0u);
}

}  // namespace
}  // namespace quillet::e2e
