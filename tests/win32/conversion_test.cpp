// Converting a dropped archive with the real command interpreter: the batch file's bytes,
// the produced executable, the questions asked and the refusals.
#include "app/conversion.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/globals.h"
#include "app/path_analysis.h"
#include "app/stub_payload.h"
#include "base/win32_handles.h"
#include "tests/win32/box_watcher.h"
#include "tests/win32/scratch_folder.h"

namespace quillet {
namespace {

using testing::BoxSeen;
using testing::BoxWatcher;
using testing::Exists;
using testing::FileSize;
using testing::PutBytes;
using testing::ReadBytes;
using testing::ScratchFolder;

constexpr const char* kWrongExtension = "请拖入扩展名为 kz 或 zip 的文件";
constexpr const char* kOverwrite = "发现同名exe文件，确定覆盖？";
constexpr const char* kUnrepresentable = "文件名含有当前代码页无法表示的字符，请改名后再拖入";
constexpr const char* kTempUnwritable = "无法写入临时文件夹中的文件，exe文件未生成";
constexpr const char* kCopyFailed = "生成exe文件失败，请检查目标文件夹是否可写";
constexpr const char* kStillBusy = "上一个文件仍在转换，请稍后再拖入";

std::string SomeBytes(std::size_t count, unsigned seed) {
  std::string bytes(count, '\0');
  for (char& byte : bytes) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 16);
  }
  return bytes;
}

// Compares without printing megabytes of bytes when they differ.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << " were expected, first difference at " << at;
}

std::string BatchText() {
  return std::string(reinterpret_cast<const char*>(BatchBytes.data()), BatchBytes.size());
}

// The command line for a handful of paths, spelled out byte for byte.
TEST(BuildSelfExtractor, CommandLineQuotesEachPathAndDoublesPercents) {
  struct Case {
    const char* dropped;
    const char* expected;
  } cases[] = {
      {"C:\\dl\\pack.kz", R"(copy /b "C:\T\kzsfx.tmp~1"+"C:\dl\pack.kz" "C:\dl\pack.exe")"},
      {"C:\\my dl\\a b.zip", R"(copy /b "C:\T\kzsfx.tmp~1"+"C:\my dl\a b.zip" "C:\my dl\a b.exe")"},
      {"C:\\a&b\\^x.kz", R"(copy /b "C:\T\kzsfx.tmp~1"+"C:\a&b\^x.kz" "C:\a&b\^x.exe")"},
      {"C:\\100%\\%PATH%.kz",
       R"(copy /b "C:\T\kzsfx.tmp~1"+"C:\100%%\%%PATH%%.kz" "C:\100%%\%%PATH%%.exe")"},
      {"C:\\錦\\表.zip", R"(copy /b "C:\T\kzsfx.tmp~1"+"C:\錦\表.zip" "C:\錦\表.exe")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropped);
    TempFolder = Text("C:\\T\\");  // does not exist: nothing is written or started
    ASSERT_TRUE(AnalyseDroppedPath(c.dropped));
    BoxWatcher watcher;
    BuildSelfExtractor();
    const std::vector<BoxSeen> boxes = watcher.Stop();
    EXPECT_EQ(BatchText(), c.expected);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message, kTempUnwritable);
  }
  ReleaseGlobals();
}

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    temp_ = scratch_ / "temp\\";
    ASSERT_TRUE(::CreateDirectoryA(temp_.c_str(), nullptr));
    TempFolder = Text(temp_);
    PutBytes(temp_ + "kzsfx.tmp~1", stub_);
  }
  void TearDown() override {
    BoxWatcher watcher;
    WaitForPendingBatch();
    EXPECT_TRUE(watcher.Stop().empty()) << "the last copy was reported as failed";
    ReleaseGlobals();
  }

  // Makes an archive (and its folders) below the scratch folder; returns its full path.
  std::string Archive(const std::string& relative, const std::string& bytes) {
    const std::string path = scratch_ / relative;
    for (std::size_t at = path.find('\\', scratch_.path().size() + 1); at != std::string::npos;
         at = path.find('\\', at + 1)) {
      ::CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    }
    PutBytes(path, bytes);
    return path;
  }

  // Raises the drop, answering boxes with the given buttons (OK when none are left).
  std::vector<BoxSeen> Drop(const std::string& text, std::deque<int> buttons = {},
                            bool waitForCopy = true) {
    BoxWatcher watcher(std::move(buttons));
    Text dropped(text);
    OnFileReceived(dropped);
    // A failed copy is reported when it ends: its box counts as one of this drop's.
    if (waitForCopy) WaitForPendingBatch();
    return watcher.Stop();
  }

  std::string BatchPath() const { return temp_ + "kzsfx.tmp~1.bat"; }

  ScratchFolder scratch_{"conversion"};
  std::string temp_;
  const std::string stub_{reinterpret_cast<const char*>(StubPayload().data()),
                          StubPayload().size()};
};

std::string ExeFor(const std::string& archive) {
  return archive.substr(0, archive.rfind('.')) + ".exe";
}

// The command interpreter must see each path whole, whatever characters it holds.
TEST_F(Conversion, ProducesStubFollowedByArchive) {
  const char* names[] = {
      "pack.kz",          "with space\\my pack.zip", "a&b\\x&y.kz",
      "100%\\50%off%.kz", "%PATH%\\%TEMP%.zip",      "a^b\\c^d.zip",
      "a!b\\c!.kz",
      "錦\\表錦.kz",  // 錦 ends in the byte 0x5C
  };
  unsigned seed = 1;
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string content = SomeBytes(1000 + 997 * seed, seed);
    ++seed;
    const std::string archive = Archive(name, content);
    const std::string exe = ExeFor(archive);

    EXPECT_TRUE(Drop(archive).empty()) << "no question for a new output";
    const std::string batch = ReadBytes(BatchPath());
    EXPECT_EQ(batch, BatchText());
    EXPECT_EQ(batch.find_first_of("\r\n"), std::string::npos) << "one line, no line end";
    EXPECT_TRUE(SameBytes(ReadBytes(exe), stub_ + content));
    EXPECT_TRUE(SameBytes(ReadBytes(archive), content)) << "the archive is left alone";

    // Again over a stale output: one question, OK, the same batch and a fresh output.
    PutBytes(exe, "stale");
    const std::vector<BoxSeen> boxes = Drop(archive, {IDOK});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].message, kOverwrite);
    EXPECT_EQ(ReadBytes(BatchPath()), batch);
    EXPECT_TRUE(SameBytes(ReadBytes(exe), stub_ + content));
  }
}

TEST_F(Conversion, RefusalsShowOneMessageAndWriteNothing) {
  const std::string rar = Archive("x.rar", "rar");
  const std::string upper = Archive("Pack.KZ", "kz");
  const std::string a = Archive("a.kz", "a");
  const std::string b = Archive("b.kz", "b");
  struct Case {
    std::string dropped;
    const char* message;
    std::string output;  // must not appear
  } cases[] = {
      {rar, kWrongExtension, ExeFor(rar)},
      {upper, kWrongExtension, ExeFor(upper)},
      {scratch_ / "readme", kWrongExtension, scratch_ / "readme.exe"},
      {a + "\r\n" + b + "\r\n", kWrongExtension, ExeFor(b)},
      {scratch_ / "a?b.kz", kUnrepresentable, ExeFor(a)},
      {scratch_ / "*.kz", kUnrepresentable, ExeFor(a)},
      {scratch_ / "?\\a.kz", kUnrepresentable, ExeFor(a)},
      {scratch_ / "a\"&mkdir pwned&\".zip", kUnrepresentable, scratch_ / "a\"&mkdir pwned&\".exe"},
      {scratch_ / "line\r\nbreak.kz", kUnrepresentable, scratch_ / "line\r\nbreak.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropped);
    const std::vector<BoxSeen> boxes = Drop(c.dropped);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "信息：");
    EXPECT_EQ(boxes[0].message, c.message);
    EXPECT_EQ(boxes[0].buttons, std::set<int>{IDOK});
    EXPECT_FALSE(Exists(BatchPath()));
    EXPECT_FALSE(Exists(c.output));
    EXPECT_FALSE(Exists("pwned"));
    ::RemoveDirectoryA("pwned");  // so that one failure does not fail every later run
  }
}

TEST_F(Conversion, CancelKeepsTheOldOutput) {
  const std::string archive = Archive("pack.kz", "archive");
  PutBytes(scratch_ / "PACK.EXE", "old");  // found whatever its case
  const std::vector<BoxSeen> boxes = Drop(archive, {IDCANCEL});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "信息：");
  EXPECT_EQ(boxes[0].message, kOverwrite);
  EXPECT_EQ(boxes[0].buttons, (std::set<int>{IDOK, IDCANCEL}));
  EXPECT_EQ(ReadBytes(scratch_ / "PACK.EXE"), "old");
  EXPECT_FALSE(Exists(BatchPath()));
}

// The temporary folder is shared with whoever else can write there: the stub is checked before
// each copy, the batch file is made anew, and an older batch file is never run in its place.
TEST_F(Conversion, TemporaryFilesAreMadeAnewOrTheDropIsRefused) {
  const std::string stubPath = temp_ + "kzsfx.tmp~1";
  const auto holdOpen = [](const std::string& path) {
    return AutoFile(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  };
  // An earlier conversion leaves its batch file; the user then replaces its output.
  const std::string earlier = Archive("earlier.zip", SomeBytes(2000, 41));
  ASSERT_TRUE(Drop(earlier).empty());
  PutBytes(ExeFor(earlier), "the user's own");
  struct Case {
    const char* name;
    std::function<AutoFile()> arrange;  // the handle it returns is held during the drop
    const char* message;                // nullptr: no box, the output is made
  } cases[] = {
      {"stub changed since start-up",
       [&] {
         PutBytes(stubPath, "not the stub");
         return AutoFile();
       },
       nullptr},
      {"batch name linked to another file",
       [&] {
         PutBytes(scratch_ / "victim.txt", "victim");
         ::DeleteFileA(BatchPath().c_str());
         const std::string victim = scratch_ / "victim.txt";
         EXPECT_TRUE(::CreateHardLinkA(BatchPath().c_str(), victim.c_str(), nullptr));
         return AutoFile();
       },
       nullptr},
      {"earlier batch file held open", [&] { return holdOpen(BatchPath()); }, kTempUnwritable},
      {"changed stub held open",
       [&] {
         PutBytes(stubPath, "not the stub");
         return holdOpen(stubPath);
       },
       kTempUnwritable},
  };
  unsigned seed = 50;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string content = SomeBytes(3000, ++seed);
    const std::string archive = Archive(std::to_string(seed) + ".kz", content);
    std::vector<BoxSeen> boxes;
    {
      AutoFile held = c.arrange();
      boxes = Drop(archive);
    }
    if (c.message) {
      ASSERT_EQ(boxes.size(), 1u);
      EXPECT_EQ(boxes[0].message, c.message);
      EXPECT_FALSE(Exists(ExeFor(archive)));
    } else {
      EXPECT_TRUE(boxes.empty());
      EXPECT_TRUE(SameBytes(ReadBytes(ExeFor(archive)), stub_ + content));
    }
    EXPECT_EQ(ReadBytes(ExeFor(earlier)), "the user's own") << "the earlier batch ran again";
    if (Exists(scratch_ / "victim.txt")) {
      EXPECT_EQ(ReadBytes(scratch_ / "victim.txt"), "victim");
    }
  }
}

// The copy runs unobserved by the user; when it fails, or leaves anything but the stub followed
// by the archive, the user is told, and an output that is not that is removed.
TEST_F(Conversion, AFailedCopyIsReported) {
  const std::string locked = Archive("locked.zip", "archive");
  PutBytes(ExeFor(locked), "old");
  ::CreateDirectoryA((scratch_ / "folder.kz").c_str(), nullptr);
  const std::string unreadable = Archive("unreadable.kz", SomeBytes(5000, 61));
  enum class Hold { kNothing, kOutput, kArchive };
  struct Case {
    std::string dropped;
    Hold hold;
    std::vector<std::string> messages;
  } cases[] = {
      {locked, Hold::kOutput, {kOverwrite, kCopyFailed}},
      {scratch_ / "folder.kz", Hold::kNothing, {kCopyFailed}},
      // The stub is copied, the archive cannot be read: a truncated executable.
      {unreadable, Hold::kArchive, {kCopyFailed}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropped);
    AutoFile held;
    if (c.hold == Hold::kOutput) {
      held = AutoFile(::CreateFileA(ExeFor(c.dropped).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(held);
    } else if (c.hold == Hold::kArchive) {
      held = AutoFile(
          ::CreateFileA(c.dropped.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(held);
    }
    const std::vector<BoxSeen> boxes = Drop(c.dropped);
    std::vector<std::string> messages;
    for (const BoxSeen& box : boxes) messages.push_back(box.message);
    EXPECT_EQ(messages, c.messages);
    if (c.hold != Hold::kOutput) {
      EXPECT_FALSE(Exists(ExeFor(c.dropped)));
    }
  }
  EXPECT_EQ(ReadBytes(ExeFor(locked)), "old");
}

// The batch is run by the system's interpreter, so neither a program planted where an unquoted
// TEMP with spaces would look, nor a user's DelayedExpansion (which eats every "!") or AutoRun,
// changes what the line does.
TEST_F(Conversion, TheInterpreterRunsTheLineAsWritten) {
  const std::string spaced = scratch_ / "my temp&1\\";
  ASSERT_TRUE(::CreateDirectoryA(spaced.c_str(), nullptr));
  TempFolder = Text(spaced);
  char system[MAX_PATH];
  ASSERT_GT(::GetSystemDirectoryA(system, MAX_PATH), 0u);
  ASSERT_TRUE(::CopyFileA((std::string(system) + "\\hostname.exe").c_str(),
                          (scratch_ / "my.exe").c_str(), FALSE));
  const char* const key = "Software\\Microsoft\\Command Processor";
  HKEY settings = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &settings, nullptr),
            ERROR_SUCCESS);
  const DWORD on = 1;
  const std::string autorun = "mkdir \"" + (scratch_ / "autorun") + "\"";
  ::RegSetValueExA(settings, "DelayedExpansion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on),
                   sizeof on);
  ::RegSetValueExA(settings, "AutoRun", 0, REG_SZ, reinterpret_cast<const BYTE*>(autorun.c_str()),
                   static_cast<DWORD>(autorun.size() + 1));

  const std::string content = SomeBytes(4000, 71);
  const std::string archive = Archive("x!y!\\a!b!c.kz", content);
  const std::vector<BoxSeen> boxes = Drop(archive);

  ::RegDeleteValueA(settings, "DelayedExpansion");
  ::RegDeleteValueA(settings, "AutoRun");
  ::RegCloseKey(settings);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(SameBytes(ReadBytes(ExeFor(archive)), stub_ + content));
  EXPECT_FALSE(Exists(scratch_ / "autorun"));
}

// A named pipe standing in for an archive: the copy reading it cannot end before Release, however
// fast the machine, because nothing is ever written into it. Its output is a second pipe, never
// read. Several instances of each: the interpreter opens a name more than once.
class HeldArchive {
 public:
  HeldArchive() {
    const std::string base = "\\\\.\\pipe\\quillet-held-" + std::to_string(::GetCurrentProcessId());
    archive_ = base + ".kz";
    for (int i = 0; i < 8; ++i) {
      instances_.emplace_back(::CreateNamedPipeA(archive_.c_str(), PIPE_ACCESS_OUTBOUND,
                                                 PIPE_TYPE_BYTE | PIPE_WAIT,
                                                 PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
      instances_.emplace_back(::CreateNamedPipeA((base + ".exe").c_str(), PIPE_ACCESS_INBOUND,
                                                 PIPE_TYPE_BYTE | PIPE_WAIT,
                                                 PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
    }
  }
  bool Valid() const {
    return std::all_of(instances_.begin(), instances_.end(),
                       [](const AutoFile& instance) { return instance.Valid(); });
  }
  const std::string& path() const { return archive_; }
  // The copy's reads and writes fail: it ends, and fails.
  void Release() { instances_.clear(); }

 private:
  std::string archive_;
  std::vector<AutoFile> instances_;
};

int timerTicks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++timerTicks; }

// What the drop that arrives while the handler waits finds, and what it leaves.
struct SecondDrop {
  std::string path;
  bool delivered = false;
  std::string droppedPathBefore, droppedPathAfter, batchBytesBefore, batchBytesAfter;
} secondDrop;

// Raised from the message loop the handler runs while it waits: a drop re-entering the handler.
void CALLBACK DropAgain(HWND, UINT, UINT_PTR timer, DWORD) {
  ::KillTimer(nullptr, timer);
  secondDrop.droppedPathBefore = std::string(DroppedPath.view());
  secondDrop.batchBytesBefore = BatchText();
  Text dropped(secondDrop.path);
  OnFileReceived(dropped);
  secondDrop.delivered = true;
  secondDrop.droppedPathAfter = std::string(DroppedPath.view());
  secondDrop.batchBytesAfter = BatchText();
}

// Another process tries to write, delete and rename the two temporary files.
void TamperFromAnotherProcess(const std::string& stub, const std::string& batch) {
  char system[MAX_PATH];
  ASSERT_GT(::GetSystemDirectoryA(system, MAX_PATH), 0u);
  const std::string line = "\"" + std::string(system) + "\\cmd.exe\" /d /c \"(echo x>>\"" + batch +
                           "\") & (echo x>>\"" + stub + "\") & del /q \"" + batch +
                           "\" & del /q \"" + stub + "\" & ren \"" + batch +
                           "\" moved.bat & ren \"" + stub + "\" moved\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  std::vector<char> writable(line.begin(), line.end());
  writable.push_back('\0');
  ASSERT_TRUE(::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &startup, &started));
  const AutoHandle process(started.hProcess), thread(started.hThread);
  ASSERT_EQ(::WaitForSingleObject(process.Get(), 60000), WAIT_OBJECT_0);
}

// A copy that does not end (it reads a pipe nobody writes) must neither hold up the next drop
// for ever nor freeze the window: after a few seconds that drop is turned away. A drop that
// arrives while that one waits is turned away at once and changes nothing, and nobody can change
// the temporary files under the running copy.
TEST_F(Conversion, ADropWhileTheLastCopyHangsIsTurnedAway) {
  HeldArchive held;
  ASSERT_TRUE(held.Valid());
  // Whether a pipe counts as an existing output is the file system's business: OK either way.
  for (const BoxSeen& box : Drop(held.path(), {}, false)) EXPECT_EQ(box.message, kOverwrite);
  const std::string firstBatch = ReadBytes(BatchPath());
  ASSERT_NE(firstBatch.find("quillet-held-"), std::string::npos);

  // Lets the copy end in any case, so that a drop that waits for ever still comes back.
  const AutoHandle returned(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread rescue([&returned, &held] {
    ::WaitForSingleObject(returned.Get(), 12000);
    held.Release();
  });
  TamperFromAnotherProcess(temp_ + "kzsfx.tmp~1", BatchPath());
  EXPECT_EQ(ReadBytes(BatchPath()), firstBatch) << "the running copy's batch file was changed";
  EXPECT_TRUE(SameBytes(ReadBytes(temp_ + "kzsfx.tmp~1"), stub_)) << "the stub was changed";
  EXPECT_FALSE(Exists(temp_ + "moved.bat"));
  EXPECT_FALSE(Exists(temp_ + "moved"));
  const std::string next = Archive("next.kz", "next");
  secondDrop = SecondDrop{};
  secondDrop.path = Archive("third.zip", "third");
  timerTicks = 0;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &CountTick);
  ::SetTimer(nullptr, 0, 0, &DropAgain);
  const DWORD start = ::GetTickCount();
  const std::vector<BoxSeen> boxes = Drop(next, {}, false);
  const DWORD took = ::GetTickCount() - start;
  ::KillTimer(nullptr, timer);
  ::SetEvent(returned.Get());
  rescue.join();

  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].message, kStillBusy) << "the drop that arrived while the handler waited";
  EXPECT_EQ(boxes[1].message, kStillBusy);
  EXPECT_LT(took, 10000u);
  EXPECT_GT(timerTicks, 10) << "the window's messages were not handled while waiting";
  ASSERT_TRUE(secondDrop.delivered);
  EXPECT_EQ(secondDrop.droppedPathAfter, secondDrop.droppedPathBefore);
  EXPECT_EQ(secondDrop.batchBytesAfter, secondDrop.batchBytesBefore);
  EXPECT_EQ(ReadBytes(BatchPath()), firstBatch) << "the running copy's batch file was rewritten";
  // The held copy, let go, fails: that is told, and nothing else ran.
  BoxWatcher watcher;
  WaitForPendingBatch();
  const std::vector<BoxSeen> ended = watcher.Stop();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].message, kCopyFailed);
  EXPECT_FALSE(Exists(ExeFor(next)));
  EXPECT_FALSE(Exists(ExeFor(secondDrop.path)));
}

// COPYCMD=/-Y makes copy ask before it replaces a file; the hidden copy must not ask.
TEST_F(Conversion, ReplacingAnOutputIgnoresTheUsersCopyConfirmation) {
  ASSERT_TRUE(::SetEnvironmentVariableA("COPYCMD", "/-Y"));
  const std::string content = SomeBytes(5000, 31);
  const std::string archive = Archive("confirm.zip", content);
  PutBytes(ExeFor(archive), "stale");
  ASSERT_EQ(Drop(archive, {IDOK}, false).size(), 1u);
  bool replaced = false;
  const std::string expected = stub_ + content;
  for (int i = 0; i < 200 && !replaced; ++i) {
    // Opened only at its full size: copy reopens the output to append the archive.
    replaced = FileSize(ExeFor(archive)) == expected.size() &&
               SameBytes(ReadBytes(ExeFor(archive)), expected);
    if (!replaced) ::Sleep(50);
  }
  ::SetEnvironmentVariableA("COPYCMD", nullptr);
  EXPECT_TRUE(replaced) << "the hidden copy waited for an answer";
}

// The second drop must not rewrite the batch file under the first one's interpreter. The
// race is timing-dependent, so a few rounds are run.
TEST_F(Conversion, BackToBackConversionsBothComplete) {
  for (unsigned round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const std::string firstContent = SomeBytes(3000000, 11 + round);
    const std::string secondContent = SomeBytes(200, 21 + round);
    const std::string first =
        Archive("first archive " + std::to_string(round) + ".zip", firstContent);
    const std::string second = Archive("second" + std::to_string(round) + ".kz", secondContent);
    EXPECT_TRUE(Drop(first, {}, false).empty());
    const std::vector<BoxSeen> boxes = Drop(second, {}, false);
    EXPECT_TRUE(boxes.empty()) << boxes.front().message;
    WaitForPendingBatch();
    EXPECT_TRUE(SameBytes(ReadBytes(ExeFor(first)), stub_ + firstContent));
    EXPECT_TRUE(SameBytes(ReadBytes(ExeFor(second)), stub_ + secondContent));
  }
}

}  // namespace
}  // namespace quillet
