// The self-extractor's Windows destination: folders one by one, temporary files, commits.
#include "stub/win32/file_destination.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "stub/core/zone_mark.h"
#include "stub/win32/file_source.h"
#include "stub/win32/handles.h"
#include "stub/win32/messages.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

std::wstring current_folder() {
  std::wstring folder(MAX_PATH, L'\0');
  folder.resize(::GetCurrentDirectoryW(MAX_PATH, folder.data()));
  return folder;
}

TEST(StubDestination, MakesAbsoluteLongPaths) {
  const struct {
    std::wstring given;
    std::wstring expected;
  } cases[] = {
      {L"C:\\a\\b", L"\\\\?\\C:\\a\\b"},
      {L"C:\\a\\b\\", L"\\\\?\\C:\\a\\b"},
      {L"C:/a/b", L"\\\\?\\C:\\a\\b"},
      {L"C:\\", L"\\\\?\\C:\\"},
      {L"C:\\a\\..\\b", L"\\\\?\\C:\\b"},
      {L"\\\\server\\share\\x\\", L"\\\\?\\UNC\\server\\share\\x"},
      {L"\\\\?\\C:\\x\\", L"\\\\?\\C:\\x"},
      {L"\\\\?\\C:\\", L"\\\\?\\C:\\"},
      {L"\\\\.\\COM1", L""},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(AbsoluteLongPath(c.given), c.expected) << Narrow(c.given);
  // Relative to the current folder, as a command prompt user means it.
  std::wstring here = current_folder();
  if (here.back() != L'\\') here += L'\\';
  EXPECT_EQ(AbsoluteLongPath(L"out"), L"\\\\?\\" + here + L"out");
}

// A fresh folder under the temporary folder, removed with everything in it at the end.
class StubDestinationFolder : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    base_ = AbsoluteLongPath(std::wstring(temp) + L"kzsfx-dest-" +
                             FormatCount(::GetCurrentProcessId()) + L"-" +
                             FormatCount(::GetTickCount()));
    root_ = base_ + L"\\目标\\子";
  }
  void TearDown() override { remove_tree(base_); }

  static void remove_tree(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = path + L"\\" + name;
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          remove_tree(child);
        } else {
          ::DeleteFileW(child.c_str());
        }
      } while (::FindNextFileW(search, &found));
      ::FindClose(search);
    }
    ::RemoveDirectoryW(path.c_str());
  }

  static std::vector<std::wstring> names_in(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names.push_back(name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return names;
  }

  static std::string read_all(const std::wstring& path) {
    AutoFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr));
    if (!file) return "<missing>";
    std::string content(1 << 16, '\0');
    DWORD read = 0;
    ::ReadFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr);
    content.resize(read);
    return content;
  }

  // Writes `content` as `path` through the destination and commits it.
  Status put(FileDestination& destination, const std::string& path, const std::string& content,
             const FileMetadata& meta = {}, bool replace = false) {
    Status status;
    std::unique_ptr<OutputFile> out = destination.OpenFile(path, status);
    if (!out) return status;
    if (Status written = out->Write(content.data(), content.size()); !written) return written;
    std::string warning;
    return out->Commit(meta, replace, warning);
  }

  std::wstring base_;
  std::wstring root_;
};

TEST_F(StubDestinationFolder, CreatesTheRootWithItsParents) {
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot()) << "root";
  EXPECT_EQ(destination.Exists(""), Existing::kFolder);
  EXPECT_TRUE(destination.CreateRoot()) << "an existing root is fine";
  // A file where the root should be is reported, not replaced.
  FileDestination blocked(root_ + L"\\file");
  ASSERT_TRUE(put(destination, "file", "x"));
  EXPECT_FALSE(blocked.CreateRoot());
}

TEST_F(StubDestinationFolder, CreatesFoldersOneByOne) {
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  EXPECT_TRUE(destination.CreateFolder("a/b/中文"));
  EXPECT_EQ(destination.Exists("a/b/中文"), Existing::kFolder);
  EXPECT_TRUE(destination.CreateFolder("a/b")) << "existing folders are fine";
  ASSERT_TRUE(put(destination, "a/plain", "x"));
  EXPECT_EQ(destination.Exists("a/plain"), Existing::kFile);
  EXPECT_EQ(destination.Exists("a/none"), Existing::kNothing);
  const Status blocked = destination.CreateFolder("a/plain/c");
  EXPECT_FALSE(blocked) << "a file is in the way";
  EXPECT_FALSE(blocked.error.empty());
}

TEST_F(StubDestinationFolder, FoldersAreWalkedWhateverTheDepth) {
  // Tens of thousands of folders below a file in the way: the walk down must end in a
  // refusal, not a stack overflow, before anything is opened.
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  ASSERT_TRUE(put(destination, "blocker", "x"));
  std::string deep = "blocker";
  for (int level = 0; level < 50000; ++level) deep += "/d";
  EXPECT_FALSE(destination.CreateFolder(deep));
  EXPECT_TRUE(destination.CreateFolder("a/b/c"));
  EXPECT_EQ(destination.Exists("a/b/c"), Existing::kFolder);
}

TEST_F(StubDestinationFolder, ShortNamesDoNotLeadToOtherFiles) {
  // Windows finds "a long file name.txt" as "ALONGF~1.TXT" too: an entry of that short name
  // must neither replace the file nor write into the folder.
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  ASSERT_TRUE(put(destination, "a long file name.txt", "precious"));
  ASSERT_TRUE(destination.CreateFolder("a long folder name"));
  auto short_name = [&](const std::wstring& name) {
    std::wstring shortened(32768, L'\0');
    shortened.resize(::GetShortPathNameW((root_ + L"\\" + name).c_str(), shortened.data(),
                                         static_cast<DWORD>(shortened.size())));
    return Narrow(shortened.substr(shortened.rfind(L'\\') + 1));
  };
  const std::string file_alias = short_name(L"a long file name.txt");
  const std::string folder_alias = short_name(L"a long folder name");
  ASSERT_NE(file_alias.find('~'), std::string::npos) << "no short names here: " << file_alias;
  ASSERT_NE(folder_alias.find('~'), std::string::npos) << "no short names here: " << folder_alias;
  EXPECT_EQ(destination.Exists(file_alias), Existing::kOtherName) << file_alias;
  EXPECT_EQ(destination.Exists("A LONG FILE NAME.TXT"), Existing::kFile) << "only its case differs";
  EXPECT_FALSE(destination.CreateFolder(folder_alias + "/inside")) << folder_alias;
  EXPECT_TRUE(destination.CreateFolder("A LONG FOLDER NAME/inside"));
  EXPECT_EQ(read_all(root_ + L"\\a long file name.txt"), "precious");
}

TEST_F(StubDestinationFolder, FilesAppearOnlyWhenCommitted) {
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  {
    Status status;
    std::unique_ptr<OutputFile> out = destination.OpenFile("d/half.txt", status);
    ASSERT_TRUE(out) << status.error;
    ASSERT_TRUE(out->Write("partial", 7));
    // Nothing can open it meanwhile: were the process to die now, the system would delete it.
    EXPECT_EQ(read_all(root_ + L"\\d\\half.txt"), "<missing>");
  }
  EXPECT_TRUE(names_in(root_ + L"\\d").empty()) << "an abandoned file leaves nothing behind";

  ASSERT_TRUE(put(destination, "d/whole.txt", "complete"));
  EXPECT_EQ(read_all(root_ + L"\\d\\whole.txt"), "complete");
  EXPECT_EQ(names_in(root_ + L"\\d"), std::vector<std::wstring>{L"whole.txt"})
      << "no temporary name left";
}

TEST_F(StubDestinationFolder, ReplacesOnlyWhenAllowed) {
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  ASSERT_TRUE(put(destination, "f.txt", "old"));
  EXPECT_FALSE(put(destination, "f.txt", "new", {}, false));
  EXPECT_EQ(read_all(root_ + L"\\f.txt"), "old");
  EXPECT_EQ(names_in(root_).size(), 1u) << "the refused temporary file is gone";

  // The user agreed to replace: a read-only flag does not stop it.
  FileMetadata read_only;
  read_only.readOnly = true;
  ASSERT_TRUE(put(destination, "f.txt", "newer", read_only, true));
  EXPECT_EQ(read_all(root_ + L"\\f.txt"), "newer");
  EXPECT_NE(::GetFileAttributesW((root_ + L"\\f.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(put(destination, "f.txt", "newest", {}, true));
  EXPECT_EQ(read_all(root_ + L"\\f.txt"), "newest");
}

TEST_F(StubDestinationFolder, SetsTheModificationTime) {
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  FileMetadata meta;
  meta.modifiedSeconds = 1700000000;  // 2023-11-14 22:13:20 UTC
  meta.modifiedNanoseconds = 500000000;
  ASSERT_TRUE(put(destination, "t.txt", "x", meta));
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(::GetFileAttributesExW((root_ + L"\\t.txt").c_str(), GetFileExInfoStandard, &data));
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(ticks / 10000000, 1700000000ull + 11644473600ull);
}

TEST_F(StubDestinationFolder, CarriesTheDownloadMarkToTheRealName) {
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
  Status status;
  std::unique_ptr<OutputFile> out = destination.OpenFile("m.txt", status);
  ASSERT_TRUE(out);
  ASSERT_TRUE(out->Write("data", 4));
  ASSERT_TRUE(out->SetZoneMark(mark));
  std::string warning;
  ASSERT_TRUE(out->Commit({}, false, warning));
  EXPECT_EQ(warning, "");
  EXPECT_EQ(read_all(root_ + L"\\m.txt"), "data");
  EXPECT_EQ(read_all(root_ + L"\\m.txt:Zone.Identifier"), mark);
  // Whether streams are real (NTFS) or emulated as sibling names (Wine), nothing remains
  // under the temporary name.
  for (const std::wstring& name : names_in(root_))
    EXPECT_EQ(name.find(L"~kzsfx"), std::wstring::npos) << Narrow(name);

  // A marked file abandoned before its commit takes its mark with it.
  {
    std::unique_ptr<OutputFile> dropped = destination.OpenFile("gone.txt", status);
    ASSERT_TRUE(dropped);
    ASSERT_TRUE(dropped->SetZoneMark(mark));
  }
  for (const std::wstring& name : names_in(root_))
    EXPECT_EQ(name.find(L"~kzsfx"), std::wstring::npos) << Narrow(name);
}

TEST_F(StubDestinationFolder, ReadsTheExesOwnMarkThroughItsHandle) {
  // The stub reads its own mark through the handle it has held since it started (on NTFS the
  // stream opens relative to it, so a rename meanwhile cannot drop the mark; Wine, whose
  // streams are files beside theirs, is asked by the handle's name). A file without a
  // stream has no mark.
  FileDestination destination(root_);
  ASSERT_TRUE(destination.CreateRoot());
  const std::wstring marked = root_ + L"\\marked.exe", plain = root_ + L"\\plain.exe";
  const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\n";
  for (const auto& [path, content] : {std::pair{marked, std::string("MZ")},
                                      {marked + L":Zone.Identifier", mark},
                                      {plain, std::string("MZ")}}) {
    AutoFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()),
                            &written, nullptr));
  }
  FileSource source(marked);
  ASSERT_TRUE(source.Ok());
  EXPECT_EQ(source.ZoneMark(kMaxZoneMarkSize), mark);
  FileSource unmarked(plain);
  ASSERT_TRUE(unmarked.Ok());
  EXPECT_EQ(unmarked.ZoneMark(kMaxZoneMarkSize), std::nullopt);
}

// Runs a Unix shell script under Wine with `arguments` as $1, $2..., and waits until `done`
// says it has had its effect: Wine gives no handle to wait on for a Unix program.
bool run_unix_script(const std::wstring& script, const std::vector<std::wstring>& arguments,
                     const std::function<bool()>& done) {
  std::wstring command = L"/bin/sh -c \"" + script + L"\" sh";
  for (const std::wstring& argument : arguments) command += L" \"" + argument + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  if (process.hThread != nullptr) ::CloseHandle(process.hThread);
  if (process.hProcess != nullptr) ::CloseHandle(process.hProcess);
  for (int waited = 0; waited < 10000; waited += 20) {
    if (done()) return true;
    ::Sleep(20);
  }
  return false;
}

bool is_link(const std::wstring& path) {
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  ::FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// The Unix name Wine gives a Windows path; empty when not under Wine.
std::wstring unix_path(const std::wstring& path) {
  using Convert = char*(__cdecl*)(const wchar_t*);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* converted = convert(path.c_str());
  if (converted == nullptr) return {};
  std::wstring result = Widen(converted);
  ::HeapFree(::GetProcessHeap(), 0, converted);
  return result;
}

// Moves `folder` aside and puts a link to `elsewhere` in its place: a Unix symbolic link under
// Wine. On Windows the destination holds its folders open so that they cannot be moved; a
// refused move is the protection at work. True when the link is in place.
bool swap_for_link(const std::wstring& folder, const std::wstring& elsewhere) {
  const std::wstring unix_folder = unix_path(folder);
  if (!unix_folder.empty()) {
    return run_unix_script(L"mv -- \\\"$1\\\" \\\"$1.moved\\\" && ln -s -- \\\"$2\\\" \\\"$1\\\"",
                           {unix_folder, unix_path(elsewhere)}, [&] { return is_link(folder); });
  }
  return ::MoveFileW(folder.c_str(), (folder + L".moved").c_str()) &&
         ::CreateSymbolicLinkW(
             folder.c_str(), elsewhere.c_str(),
             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
}

// A folder that was checked and is then swapped for a link, before the file is created in it
// or before the file is renamed into place, must not lead the write elsewhere.
TEST_F(StubDestinationFolder, FolderSwappedForALinkDoesNotRedirect) {
  ASSERT_TRUE(::CreateDirectoryW(base_.c_str(), nullptr));
  const bool wine = !unix_path(base_).empty();
  const struct {
    DestinationStep step;
    std::string folder;
  } cases[] = {
      {DestinationStep::kFolderChecked, "before-create"},
      {DestinationStep::kFileWritten, "before-rename"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    FileDestination destination(root_);
    ASSERT_TRUE(destination.CreateRoot());
    const std::wstring folder = root_ + L"\\" + Widen(c.folder);
    const std::wstring elsewhere = base_ + L"\\elsewhere-" + Widen(c.folder);
    ASSERT_TRUE(::CreateDirectoryW(elsewhere.c_str(), nullptr));
    bool swapped = false;
    destination.SetHook([&](DestinationStep now) {
      if (now == c.step && !swapped) swapped = swap_for_link(folder, elsewhere);
    });
    put(destination, c.folder + "/x.txt", "payload");  // failing is fine; going elsewhere is not
    if (wine) {
      EXPECT_TRUE(swapped) << "the swap did not happen; nothing was tested";
    }
    EXPECT_EQ(names_in(elsewhere), std::vector<std::wstring>{}) << "the write followed the link";
    if (swapped && wine) {  // the link only, not where it leads
      run_unix_script(L"rm -- \\\"$1\\\"", {unix_path(folder)}, [&] {
        return ::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES;
      });
    }
  }
}

TEST_F(StubDestinationFolder, ReportsFreeSpaceBeforeTheRootExists) {
  FileDestination destination(root_ + L"\\not\\yet");
  const std::optional<std::uint64_t> free = destination.FreeSpace();
  ASSERT_TRUE(free);
  EXPECT_GT(*free, 0u);
}

}  // namespace
}  // namespace kzsfx::win32
