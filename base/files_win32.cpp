// File primitives on Win32: writing and comparing byte buffers, testing for an entry,
// special folders.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <vector>

#include "base/files.h"
#include "base/win32_handles.h"

namespace quillet {

namespace {

bool WriteBuffers(AutoFile file, std::initializer_list<ByteView> buffers) {
  if (!file) return false;
  for (ByteView buffer : buffers) {
    if (buffer.empty()) continue;
    const auto wanted = static_cast<DWORD>(buffer.size());
    DWORD written = 0;
    if (!::WriteFile(file.Get(), buffer.data(), wanted, &written, nullptr) || written != wanted) {
      return false;
    }
  }
  return file.Close();
}

AutoFile OpenForReading(TextView path) {
  return AutoFile(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Fills the buffer as far as the file goes; the count read, or -1 when reading fails.
long long ReadUpTo(HANDLE file, std::uint8_t* buffer, std::size_t size) {
  std::size_t filled = 0;
  while (filled < size) {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(size - filled);
    if (!::ReadFile(file, buffer + filled, wanted, &read, nullptr)) return -1;
    if (read == 0) break;
    filled += read;
  }
  return static_cast<long long>(filled);
}

}  // namespace

bool WriteFileBytes(TextView path, std::initializer_list<ByteView> buffers) {
  if (path.empty()) return false;
  // Share mode 0: nobody else may read a half-written file, and a file in use elsewhere
  // is refused rather than overwritten under its user.
  return WriteBuffers(AutoFile(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)),
                      buffers);
}

bool WriteNewFileBytes(TextView path, std::initializer_list<ByteView> buffers) {
  if (path.empty()) return false;
  ::DeleteFileA(path.c_str());  // a link planted under the name goes, its target stays
  return WriteBuffers(
      AutoFile(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr)),
      buffers);
}

namespace {

// Whether the file, from where it is read next, holds `head` followed by every byte of `tail`
// (nothing when it is empty) and nothing more.
bool HandleHoldsBytes(HANDLE file, ByteView head, HANDLE tail) {
  constexpr std::size_t kPiece = 1 << 16;
  std::vector<std::uint8_t> actual(kPiece), expected(kPiece);
  for (std::size_t at = 0; at < head.size(); at += kPiece) {
    const std::size_t size = std::min(kPiece, head.size() - at);
    if (ReadUpTo(file, actual.data(), size) != static_cast<long long>(size) ||
        !std::equal(actual.begin(), actual.begin() + static_cast<std::ptrdiff_t>(size),
                    head.begin() + static_cast<std::ptrdiff_t>(at))) {
      return false;
    }
  }
  for (;;) {
    const long long wanted = tail ? ReadUpTo(tail, expected.data(), kPiece) : 0;
    if (wanted < 0) return false;
    const long long got = ReadUpTo(file, actual.data(), static_cast<std::size_t>(wanted));
    if (got != wanted || !std::equal(actual.begin(), actual.begin() + got, expected.begin())) {
      return false;
    }
    if (wanted == 0) break;
  }
  std::uint8_t extra = 0;
  return ReadUpTo(file, &extra, 1) == 0;  // and nothing after the tail
}

}  // namespace

bool FileHoldsBytes(TextView path, ByteView head, TextView tailPath) {
  if (path.empty()) return false;
  const AutoFile file = OpenForReading(path);
  AutoFile tail;
  if (!tailPath.empty()) tail = OpenForReading(tailPath);
  if (!file || (!tailPath.empty() && !tail)) return false;
  return HandleHoldsBytes(file.Get(), head, tail.Get());
}

AutoFile HoldFile(TextView path) {
  if (path.empty()) return AutoFile();
  // No FILE_SHARE_WRITE or FILE_SHARE_DELETE: opening it to write, deleting and renaming it
  // are refused to everyone while this handle lives, and it fails while anyone may write.
  return AutoFile(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

bool HeldFileHolds(const AutoFile& file, ByteView bytes) {
  LARGE_INTEGER start = {};
  if (!file || !::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN)) return false;
  return HandleHoldsBytes(file.Get(), bytes, nullptr);
}

bool FileExists(TextView path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAA found;
  AutoFindHandle search(::FindFirstFileA(path.c_str(), &found));
  return search.Valid();
}

namespace {

int ShellFolderId(std::int32_t code) {
  switch (code) {
    case 1:
      return CSIDL_PERSONAL;
    case 2:
      return CSIDL_FAVORITES;
    case 3:
      return CSIDL_DESKTOPDIRECTORY;
    case 4:
      return CSIDL_FONTS;
    case 5:
      return CSIDL_STARTMENU;
    case 6:
      return CSIDL_PROGRAMS;
    case 7:
      return CSIDL_STARTUP;
    case 8:
      return CSIDL_APPDATA;
    default:
      return -1;
  }
}

// The answer's length in bytes, or 0 when there is none or it did not fit the buffer.
DWORD AskPlatform(std::int32_t code, char (&buffer)[MAX_PATH]) {
  DWORD length = 0;
  switch (code) {
    case 9:
      length = ::GetWindowsDirectoryA(buffer, MAX_PATH);
      break;
    case 10:
      length = ::GetSystemDirectoryA(buffer, MAX_PATH);
      break;
    case 11:
      length = ::GetTempPathA(MAX_PATH, buffer);
      break;
    default: {
      const int folder = ShellFolderId(code);
      if (folder < 0 || !::SHGetSpecialFolderPathA(nullptr, buffer, folder, FALSE)) return 0;
      return static_cast<DWORD>(::lstrlenA(buffer));
    }
  }
  // Too small a buffer is reported as the size needed, which is at least MAX_PATH.
  return length < MAX_PATH ? length : 0;
}

// A final 0x5C may be the second byte of a double-byte character (錦 is E5 5C in GBK), so
// the last character is found by stepping from the start, not by looking at the last byte.
bool EndsWithBackslash(const char* text, DWORD length) {
  const char* last = ::CharPrevA(text, text + length);
  return last == text + length - 1 && *last == '\\';
}

}  // namespace

// An answer of exactly 259 bytes without a final backslash still fitted the platform's
// buffer; the backslash is ours, so the 260-byte result is returned rather than refused.
// Refusing would make callers build paths relative to the current folder instead.
Text GetSpecialFolder(std::int32_t code) {
  char buffer[MAX_PATH] = {};
  const DWORD length = AskPlatform(code, buffer);
  if (length == 0) return Text();
  if (EndsWithBackslash(buffer, length)) return Text(std::string_view(buffer, length));
  return ConcatText({buffer, "\\"});
}

}  // namespace quillet
