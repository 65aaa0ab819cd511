// The known-folder API behind an installer script's %Name% prefixes.
#include "stub/win32/known_folders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include "stub/win32/handles.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring WithoutTrailingSeparator(std::wstring path) {
  while (path.size() > 3 && IsSeparator(path.back())) path.pop_back();
  return path;
}

const KNOWNFOLDERID* FolderId(KnownFolder folder) {
  switch (folder) {
    case KnownFolder::kProgramFiles:
      return &FOLDERID_ProgramFiles;
    case KnownFolder::kLocalAppData:
      return &FOLDERID_LocalAppData;
    case KnownFolder::kAppData:
      return &FOLDERID_RoamingAppData;
    case KnownFolder::kUserProfile:
      return &FOLDERID_Profile;
    case KnownFolder::kPublic:
      return &FOLDERID_Public;
    case KnownFolder::kNone:
    case KnownFolder::kTemp:
      break;
  }
  return nullptr;
}

}  // namespace

std::wstring KnownFolderPath(KnownFolder folder) {
  if (folder == KnownFolder::kTemp) {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return {};
    return WithoutTrailingSeparator(std::wstring(buffer, length));
  }
  const KNOWNFOLDERID* id = FolderId(folder);
  if (id == nullptr) return {};
  // Shell32 is a KnownDLL, loaded from System32 whatever lies beside the exe.
  CoTaskMemory<wchar_t> path;
  if (FAILED(::SHGetKnownFolderPath(*id, KF_FLAG_DONT_VERIFY, nullptr, &path.pointer)) ||
      path.pointer == nullptr)
    return {};
  return WithoutTrailingSeparator(path.pointer);
}

std::wstring ScriptDestination(const ScriptPath& path, const std::wstring& exeFolder) {
  const std::wstring rest = Widen(path.rest);
  if (path.base != KnownFolder::kNone) {
    const std::wstring folder = KnownFolderPath(path.base);
    return folder.empty() ? std::wstring() : folder + rest;
  }
  const bool drive = rest.size() >= 2 && rest[1] == L':';
  if (drive) return rest.size() >= 3 && IsSeparator(rest[2]) ? rest : std::wstring();
  if (!rest.empty() && IsSeparator(rest[0])) {
    // "\\server\share" is absolute; "\folder" depends on the current drive.
    return rest.size() >= 2 && IsSeparator(rest[1]) ? rest : std::wstring();
  }
  std::wstring folder = exeFolder;
  if (!folder.empty() && !IsSeparator(folder.back())) folder += L'\\';
  return folder + rest;
}

}  // namespace kzsfx::win32
