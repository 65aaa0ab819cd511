// The installer script's Windows side under Wine: where Path points, a batch Setup run through
// the real command interpreter, and TempMode's folder made and removed.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "stub/win32/known_folders.h"
#include "stub/win32/setup_launch.h"
#include "stub/win32/temp_folder.h"
#include "tests/win32/scratch_folder.h"

namespace kzsfx::win32 {
namespace {

// The older special-folder call: an answer the known-folder API must agree with.
std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH];
  return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? path : L"";
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

TEST(StubInstallerPath, BecomesTheFolderItNames) {
  struct Case {
    ScriptPath path;
    std::wstring folder;  // empty: refused
  };
  const Case cases[] = {
      {{KnownFolder::kNone, "D:\\Apps\\x"}, L"D:\\Apps\\x"},
      {{KnownFolder::kNone, "sub\\x"}, L"C:\\dl\\sub\\x"},
      {{KnownFolder::kNone, "..\\x"}, L"C:\\dl\\..\\x"},
      {{KnownFolder::kNone, "\\\\server\\share\\x"}, L"\\\\server\\share\\x"},
      // Neither absolute nor relative to the exe: they depend on the current drive's state.
      {{KnownFolder::kNone, "D:x"}, L""},
      {{KnownFolder::kNone, "\\x"}, L""},
      {{KnownFolder::kProgramFiles, "\\x"}, SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\x"},
      {{KnownFolder::kLocalAppData, "\\x"}, SpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\x"},
      {{KnownFolder::kAppData, "/x"}, SpecialFolder(CSIDL_APPDATA) + L"/x"},
      {{KnownFolder::kUserProfile, ""}, SpecialFolder(CSIDL_PROFILE)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.rest);
    EXPECT_EQ(ScriptDestination(c.path, L"C:\\dl"), c.folder);
  }
  // Environment variables say nothing: only the system's folders count.
  ::SetEnvironmentVariableW(L"LOCALAPPDATA", L"C:\\planted");
  EXPECT_EQ(KnownFolderPath(KnownFolder::kLocalAppData), SpecialFolder(CSIDL_LOCAL_APPDATA));
}

// The batch's folder and arguments hold what the command interpreter would otherwise take for
// its own syntax: blanks, '&' and quoted arguments.
TEST(StubInstallerSetup, BatchRunsThroughTheInterpreterWithItsArguments) {
  quillet::testing::ScratchFolder scratch("installer");
  const std::string root = scratch.path() + "\\a b&c";
  ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr));
  std::ofstream(root + "\\my setup.cmd")
      << "@echo off\r\necho [%1][%2][%3]> log.txt\r\ncd >> log.txt\r\nexit /b 7\r\n";
  const SetupRun run =
      RunSetup({"my setup.cmd", "one \"two three\"", SetupKind::kBatch}, Wide(root));
  ASSERT_TRUE(run.started) << testing::PrintToString(run.error);
  EXPECT_EQ(run.exitCode, 7u);
  std::ifstream log(root + "\\log.txt");
  std::string arguments, folder;
  std::getline(log, arguments);
  std::getline(log, folder);
  EXPECT_EQ(arguments, "[one][\"two three\"][]");
  EXPECT_EQ(folder, root);
}

TEST(StubInstallerTempFolder, IsNewAndGoesWithEverythingInIt) {
  std::wstring made;
  {
    TempFolder first, second;
    ASSERT_TRUE(first.Create());
    ASSERT_TRUE(second.Create());
    EXPECT_NE(first.Path(), second.Path());
    made = first.Path();
    ASSERT_TRUE(::CreateDirectoryW((made + L"\\sub").c_str(), nullptr));
    const std::wstring locked = made + L"\\sub\\read-only.txt";
    std::ofstream(locked.c_str()) << "x";
    ASSERT_TRUE(::SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  }
  EXPECT_EQ(::GetFileAttributesW(made.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
}  // namespace kzsfx::win32
