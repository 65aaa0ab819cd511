// File primitives on Win32: writing byte buffers, testing for an entry, special folders.
#include <windows.h>
#include <shlobj.h>

#include "base/files.h"
#include "base/win32_handles.h"

namespace quillet {

bool WriteFileBytes(TextView path, std::initializer_list<ByteView> buffers) {
  if (path.empty()) return false;
  // Share mode 0: nobody else may read a half-written file, and a file in use elsewhere
  // is refused rather than overwritten under its user.
  AutoFile file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
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

bool FileExists(TextView path) {
  if (path.empty()) return false;
  WIN32_FIND_DATAA found;
  AutoFindHandle search(::FindFirstFileA(path.c_str(), &found));
  return search.Valid();
}

namespace {

int ShellFolderId(std::int32_t code) {
  switch (code) {
    case 1: return CSIDL_PERSONAL;
    case 2: return CSIDL_FAVORITES;
    case 3: return CSIDL_DESKTOPDIRECTORY;
    case 4: return CSIDL_FONTS;
    case 5: return CSIDL_STARTMENU;
    case 6: return CSIDL_PROGRAMS;
    case 7: return CSIDL_STARTUP;
    case 8: return CSIDL_APPDATA;
    default: return -1;
  }
}

// The answer's length in bytes, or 0 when there is none or it did not fit the buffer.
DWORD AskPlatform(std::int32_t code, char (&buffer)[MAX_PATH]) {
  DWORD length = 0;
  switch (code) {
    case 9: length = ::GetWindowsDirectoryA(buffer, MAX_PATH); break;
    case 10: length = ::GetSystemDirectoryA(buffer, MAX_PATH); break;
    case 11: length = ::GetTempPathA(MAX_PATH, buffer); break;
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
