// Making TempMode's folder and removing its tree.
#include "stub/win32/temp_folder.h"

#include <windows.h>

#include "stub/win32/file_destination.h"
#include "stub/win32/known_folders.h"

namespace kzsfx::win32 {
namespace {

std::wstring Hex(DWORD value) {
  std::wstring text(8, L'0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[i] = L"0123456789abcdef"[value & 15];
  return text;
}

void RemoveTree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                           FindExSearchNameMatch, nullptr, 0);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = folder + L"\\" + name;
      const DWORD attributes = found.dwFileAttributes;
      if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ::DeleteFileW(path.c_str());
      } else {
        // A junction or link to a folder goes, not what it points at.
        if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveTree(path);
        ::RemoveDirectoryW(path.c_str());
      }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
}

}  // namespace

bool TempFolder::Create() {
  const std::wstring temp = AbsoluteLongPath(KnownFolderPath(KnownFolder::kTemp));
  if (temp.empty()) return false;
  DWORD seed = ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
  for (int attempt = 0; attempt < 100; ++attempt, seed = seed * 1103515245u + 12345u) {
    std::wstring path = temp + L"\\kzsfx-" + Hex(seed);
    if (::CreateDirectoryW(path.c_str(), nullptr)) {
      path_ = std::move(path);
      return true;
    }
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  return false;
}

void TempFolder::Remove() {
  if (path_.empty()) return;
  RemoveTree(path_);
  ::RemoveDirectoryW(path_.c_str());
  path_.clear();
}

}  // namespace kzsfx::win32
