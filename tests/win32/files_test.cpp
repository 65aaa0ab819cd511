// Win32 file primitives: what WriteFileBytes leaves on disk, FileExists' matching rules and
// the special folders' trailing backslash.
#include <windows.h>

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "base/dll_search.h"
#include "base/files.h"
#include "base/win32_handles.h"
#include "tests/input_path.h"
#include "tests/win32/scratch_folder.h"

namespace quillet {
namespace {

using testing::Exists;
using testing::PutBytes;
using testing::ReadBytes;
using testing::ScratchFolder;

ByteView Bytes(const std::string& bytes) {
  return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

bool WriteAll(const std::string& path, const std::vector<std::string>& pieces) {
  switch (pieces.size()) {
    case 0:
      return WriteFileBytes(path.c_str(), {});
    case 1:
      return WriteFileBytes(path.c_str(), {Bytes(pieces[0])});
    case 2:
      return WriteFileBytes(path.c_str(), {Bytes(pieces[0]), Bytes(pieces[1])});
    default:
      return WriteFileBytes(
          path.c_str(), {Bytes(pieces[0]), Bytes(pieces[1]), Bytes(pieces[2]), Bytes(pieces[3])});
  }
}

TEST(WriteFileBytes, LeavesExactlyTheBuffersInOrder) {
  const std::string binary("\x00\xff\x1a\r\n\x5c", 6);
  struct Case {
    const char* name;
    const char* old;  // null: no file before
    std::vector<std::string> buffers;
    std::string expected;
  } cases[] = {
      {"new file", nullptr, {"abc"}, "abc"},
      {"longer old file leaves no tail", "0123456789", {"xy"}, "xy"},
      {"no buffers empty the file", "old content", {}, ""},
      {"one empty buffer empties the file", "old content", {""}, ""},
      {"empty buffers skipped, order kept", nullptr, {"a", "", "bc", "d"}, "abcd"},
      {"bytes written unchanged", "x", {binary}, binary},
  };
  ScratchFolder scratch("write");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = scratch / "out.bin";
    ::DeleteFileA(path.c_str());
    if (c.old) PutBytes(path, c.old);
    EXPECT_TRUE(WriteAll(path, c.buffers));
    ASSERT_TRUE(Exists(path));
    EXPECT_EQ(ReadBytes(path), c.expected);
  }
}

TEST(WriteFileBytes, RefusalChangesNothing) {
  ScratchFolder scratch("refuse");
  const std::string path = scratch / "held.bin";
  PutBytes(path, "before");
  const auto holdWith = [&](DWORD share) {
    return AutoFile(::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  struct Case {
    const char* name;
    DWORD share;
  } cases[] = {
      {"held without sharing", 0},
      {"held with full sharing (ours asks for none)", FILE_SHARE_READ | FILE_SHARE_WRITE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AutoFile holder = holdWith(c.share);
    ASSERT_TRUE(holder.Valid());
    EXPECT_FALSE(WriteFileBytes(path.c_str(), {Bytes("after")}));
    holder.Reset();
    EXPECT_EQ(ReadBytes(path), "before");
  }

  const std::string missing = scratch / "missing";
  EXPECT_FALSE(WriteFileBytes((missing + "\\out.bin").c_str(), {Bytes("x")}));
  EXPECT_FALSE(Exists(missing)) << "no folder may be created";

  EXPECT_FALSE(WriteFileBytes(scratch.path().c_str(), {Bytes("x")})) << "a folder is no file";
  EXPECT_FALSE(WriteFileBytes("", {Bytes("x")}));
  EXPECT_FALSE(WriteFileBytes(nullptr, {}));
}

bool PlatformRefusesWriting(const std::string& path) {
  return !AutoFile(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr))
              .Valid();
}

// A file the platform will not open for writing must come through unchanged. Wine running
// as root ignores the read-only attribute (the host lets root write anything), so the rule
// is also tested with a file that the ctest fixture made immutable on the host.
TEST(WriteFileBytes, FileThePlatformRefusesIsKept) {
  ScratchFolder scratch("readonly");
  const std::string readOnly = scratch / "locked.bin";
  PutBytes(readOnly, "keep me");
  ASSERT_TRUE(::SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::string immutable = testing::InputPath("QUILLET_IMMUTABLE_FILE");

  int refused = 0;
  for (const std::string& path : {readOnly, immutable}) {
    if (path.empty() || !Exists(path)) continue;
    SCOPED_TRACE(path);
    const std::string before = ReadBytes(path);
    ASSERT_FALSE(before.empty());
    if (!PlatformRefusesWriting(path)) {
      // What Wine as root does: the open succeeds, so the write does too.
      std::cout << "the platform lets this process write " << path << "\n";
      EXPECT_TRUE(WriteFileBytes(path.c_str(), {Bytes("replaced")}));
      EXPECT_EQ(ReadBytes(path), "replaced");
      continue;
    }
    ++refused;
    EXPECT_FALSE(WriteFileBytes(path.c_str(), {Bytes("lost")}));
    EXPECT_EQ(ReadBytes(path), before);
  }
  if (refused == 0) GTEST_SKIP() << "no file here that the platform refuses to write";
}

TEST(FileExists, MatchesLikeADirectoryListing) {
  ScratchFolder scratch("exists");
  PutBytes(scratch / "Pack.EXE", "x");
  ::CreateDirectoryA((scratch / "folder.kz").c_str(), nullptr);
  struct Case {
    std::string path;
    bool expected;
  } cases[] = {
      {scratch / "Pack.EXE", true},
      {scratch / "pack.exe", true},  // the file system ignores case
      {scratch / "folder.kz", true},
      {scratch / "*.exe", true},
      {scratch / "?ack.exe", true},
      {scratch / "*.zzz", false},
      {scratch / "other.exe", false},
      {scratch / "folder.kz\\", false},
      {scratch.path() + "\\", false},
      {scratch / "missing\\pack.exe", false},
      {"", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileExists(c.path.c_str()), c.expected) << c.path;
  }
}

std::string Platform(UINT(WINAPI* query)(char*, UINT)) {
  char buffer[MAX_PATH];
  return std::string(buffer, query(buffer, MAX_PATH));
}

TEST(GetSpecialFolder, AppendsOneBackslashOnlyWhenMissing) {
  char temp[MAX_PATH];
  const std::string tempPath(temp, ::GetTempPathA(MAX_PATH, temp));
  ASSERT_EQ(tempPath.back(), '\\');
  EXPECT_EQ(GetSpecialFolder(11).view(), tempPath);

  const std::string windows = Platform(::GetWindowsDirectoryA);
  ASSERT_NE(windows.back(), '\\');
  EXPECT_EQ(GetSpecialFolder(9).view(), windows + "\\");
  EXPECT_EQ(GetSpecialFolder(10).view(), Platform(::GetSystemDirectoryA) + "\\");

  for (int code : {0, 12, -1, 100}) {
    EXPECT_TRUE(GetSpecialFolder(code).empty()) << code;
  }
}

// Points the user's favourites folder (code 2) elsewhere for the test's duration.
class ScopedFavourites {
 public:
  explicit ScopedFavourites(const std::string& folder) {
    ::RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                      nullptr);
    char old[MAX_PATH * 2];
    DWORD size = sizeof old;
    had_ = ::RegQueryValueExA(key_, "Favorites", nullptr, &type_, reinterpret_cast<BYTE*>(old),
                              &size) == ERROR_SUCCESS;
    if (had_) old_.assign(old, size);
    ::RegSetValueExA(key_, "Favorites", 0, REG_EXPAND_SZ,
                     reinterpret_cast<const BYTE*>(folder.c_str()), folder.size() + 1);
  }
  ~ScopedFavourites() {
    if (had_) {
      ::RegSetValueExA(key_, "Favorites", 0, type_, reinterpret_cast<const BYTE*>(old_.data()),
                       old_.size());
    } else {
      ::RegDeleteValueA(key_, "Favorites");
    }
    ::RegCloseKey(key_);
  }

 private:
  static constexpr const char* kKey =
      "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key_ = nullptr;
  bool had_ = false;
  DWORD type_ = REG_EXPAND_SZ;
  std::string old_;
};

// The shell's answer has no final backslash; a name whose last character ends in the byte
// 0x5C (錦 is E5 5C) still needs one, and a missing folder is not created.
TEST(GetSpecialFolder, ShellAnswerGetsItsBackslashByCharacter) {
  ScratchFolder scratch("shell");
  const std::string named = scratch / "收藏錦";
  ASSERT_TRUE(::CreateDirectoryA(named.c_str(), nullptr));
  struct Case {
    std::string folder;
    const char* expected;  // null: absent
  } cases[] = {
      {named, "\\"},
      {scratch / "missing", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    ScopedFavourites favourites(c.folder);
    const Text folder = GetSpecialFolder(2);
    if (c.expected) {
      EXPECT_EQ(folder.view(), c.folder + c.expected);
    } else {
      EXPECT_TRUE(folder.empty()) << folder.c_str();
      EXPECT_FALSE(Exists(c.folder));
    }
  }
}

// Sets an environment variable for the test's duration.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const std::string& value) : name_(name) {
    char old[32767];
    const DWORD length = ::GetEnvironmentVariableA(name, old, sizeof old);
    had_ = length > 0 && length < sizeof old;
    if (had_) old_.assign(old, length);
    ::SetEnvironmentVariableA(name, value.c_str());
  }
  ~ScopedVariable() { ::SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// GetTempPathA follows TMP and always ends its answer with a backslash.
TEST(GetSpecialFolder, AnswerThatDoesNotFitIsAbsent) {
  struct Case {
    std::size_t tmpLength;  // without the backslash the platform adds
    bool fits;
  } cases[] = {{200, true}, {258, true}, {259, false}, {300, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tmpLength);
    std::string tmp = "C:\\";
    tmp += std::string(c.tmpLength - tmp.size(), 'a');
    ScopedVariable variable("TMP", tmp);
    const Text folder = GetSpecialFolder(11);
    if (c.fits) {
      EXPECT_EQ(folder.view(), tmp + "\\");
    } else {
      EXPECT_TRUE(folder.empty()) << folder.c_str();
    }
  }
}

// A DLL that arrived beside the program (here a copy of this test under a DLL's name) is found
// by name until the search is restricted, and never after. Runs last: the restriction stays.
TEST(RestrictDllSearch, TheProgramsOwnFolderIsNoLongerSearched) {
  char self[MAX_PATH];
  const DWORD length = ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  ASSERT_TRUE(length > 0 && length < MAX_PATH);
  const std::string exe(self, length);
  const std::string planted = exe.substr(0, exe.rfind('\\') + 1) + "quillet_planted.dll";
  ASSERT_TRUE(::CopyFileA(exe.c_str(), planted.c_str(), FALSE));
  RestrictDllSearch();
  const HMODULE loaded = ::LoadLibraryA("quillet_planted.dll");
  EXPECT_EQ(loaded, nullptr) << "the planted DLL was loaded";
  if (loaded) ::FreeLibrary(loaded);
  ::DeleteFileA(planted.c_str());
}

}  // namespace
}  // namespace quillet
