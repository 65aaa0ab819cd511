// Writing extracted files below the destination folder.
#include "stub/win32/file_destination.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <atomic>
#include <limits>

#include "stub/win32/handles.h"
#include "stub/win32/messages.h"
#include "stub/win32/relative_open.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";
constexpr const wchar_t* kZoneStream = L":Zone.Identifier";

Status LastError() { return Status::Failure(SystemMessage(::GetLastError())); }

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Where the components that may be created begin: after "\\?\C:\" or "\\?\UNC\server\share\".
size_t FirstComponent(const std::wstring& root) {
  if (StartsWith(root, kLongUncPrefix)) {
    size_t at = root.find(L'\\', kLongUncPrefix.size());  // end of the server name
    if (at == std::wstring::npos) return root.size();
    at = root.find(L'\\', at + 1);  // end of the share name
    return at == std::wstring::npos ? root.size() : at + 1;
  }
  const size_t at = root.find(L'\\', kLongPrefix.size());
  return at == std::wstring::npos ? root.size() : at + 1;
}

// Folders are held without FILE_SHARE_DELETE: while we have one open, nobody can rename it or
// put something else in its place.
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr ULONG kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Status FileInTheWay() { return Status::Failure("a file of that name is in the way"); }
Status AliasInTheWay() {
  return Status::Failure("the name is the short name of a folder called otherwise");
}
Status LinkInTheWay() { return Status::Failure("a link of that name is in the way; not followed"); }

bool SameText(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// True when `child` is one component below `parent` (both final paths).
bool IsChildOf(std::wstring_view child, std::wstring_view parent) {
  return child.size() > parent.size() + 1 && child[parent.size()] == L'\\' &&
         child.find(L'\\', parent.size() + 1) == std::wstring_view::npos &&
         SameText(child.substr(0, parent.size()), parent);
}

std::wstring WithoutTrailingSeparator(std::wstring path) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  return path;
}

std::wstring_view LastComponent(std::wstring_view path) {
  const size_t slash = path.rfind(L'\\');
  return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

bool Missing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

struct OpenFolder {
  AutoFile handle;
  std::wstring finalPath;  // as final_path() gives it, without a trailing separator
};

namespace {

// Opens the folder `name` inside `parent`, creating it when missing, and checks what was opened:
// a real folder, where `parent` says it is. Junctions and symbolic links name another place
// and are refused; other reparse points (cloud placeholders, deduplicated folders) are
// ordinary folders as far as we are concerned.
std::shared_ptr<const OpenFolder> OpenChild(const OpenFolder& parent, const std::wstring& name,
                                            Status& status) {
  AutoFile handle = OpenIn(parent.handle.Get(), name, kFolderAccess, kFolderShare, FILE_OPEN_IF,
                           FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
  if (!handle) {
    status = ::GetLastError() == ERROR_DIRECTORY ? FileInTheWay() : LastError();
    return nullptr;
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle.Get(), FileAttributeTagInfo, &tag, sizeof(tag))) {
    status = LastError();
    return nullptr;
  }
  if ((tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    if (tag.ReparseTag == 0 || IsReparseTagNameSurrogate(tag.ReparseTag)) {
      status = LinkInTheWay();
      return nullptr;
    }
    // Its filter must see the open to show the folder's content.
    handle = OpenIn(parent.handle.Get(), name, kFolderAccess, kFolderShare, FILE_OPEN,
                    FILE_DIRECTORY_FILE);
    if (!handle) {
      status = LastError();
      return nullptr;
    }
  }
  // Where the open really led: a system that follows links whatever we ask (Wine, for a
  // Unix symbolic link) shows it here, as does a folder swapped between the two opens above.
  std::wstring path = FinalPath(handle.Get());
  if (path.empty()) {
    status = LastError();
    return nullptr;
  }
  if (!IsChildOf(path, parent.finalPath)) {
    status = LinkInTheWay();
    return nullptr;
  }
  // "PROGRA~1" opens "Program Files": writing there would put files in a folder the archive
  // never named.
  if (!SameText(LastComponent(path), name)) {
    status = AliasInTheWay();
    return nullptr;
  }
  return std::shared_ptr<const OpenFolder>(
      std::make_unique<OpenFolder>(OpenFolder{std::move(handle), std::move(path)}));
}

// Marks the open file for deletion when its last handle closes, or takes the mark back.
bool SetDeletePending(HANDLE file, bool pending) {
  FILE_DISPOSITION_INFO dispose{static_cast<BOOLEAN>(pending ? TRUE : FALSE)};
  return ::SetFileInformationByHandle(file, FileDispositionInfo, &dispose, sizeof(dispose)) !=
         FALSE;
}

// A file being written: either under a temporary name, renamed over the target at the commit,
// or (`temporary` empty) under the target's own name, new and pending deletion until the
// commit takes that back, which spares the rename. Only the first carries a download mark.
class FileOutput final : public OutputFile {
 public:
  FileOutput(AutoFile file, std::shared_ptr<const OpenFolder> folder, std::wstring temporary,
             std::wstring target, const DestinationHook& hook)
      : file_(std::move(file)),
        folder_(std::move(folder)),
        temporary_(std::move(temporary)),
        target_(std::move(target)),
        hook_(hook) {}

  ~FileOutput() override {
    if (committed_) return;
    // Through the handle: its name may no longer lead to it.
    SetDeletePending(file_.Get(), true);
    file_.Close();
    // Gone with the file on NTFS; a sibling file where streams are emulated (Wine).
    if (marked_)
      OpenIn(folder_->handle.Get(), temporary_ + kZoneStream, DELETE, kAnyShare, FILE_OPEN,
             FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE);
  }

  Status Write(const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
      const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
      DWORD written = 0;
      if (!::WriteFile(file_.Get(), bytes, chunk, &written, nullptr)) return LastError();
      bytes += written;
      size -= written;
    }
    return Status::Success();
  }

  Status SetZoneMark(std::string_view content) override {
    marked_ = true;
    AutoFile stream = OpenIn(folder_->handle.Get(), temporary_ + kZoneStream, GENERIC_WRITE, 0,
                             FILE_OVERWRITE_IF, FILE_NON_DIRECTORY_FILE);
    if (!stream) return LastError();
    DWORD written = 0;
    if (!::WriteFile(stream.Get(), content.data(), static_cast<DWORD>(content.size()), &written,
                     nullptr) ||
        written != content.size()) {
      return LastError();
    }
    if (!stream.Close()) return LastError();
    return Status::Success();
  }

  Status Commit(const FileMetadata& meta, bool replaceExisting, std::string& metaWarning) override {
    if (hook_) hook_(DestinationStep::kFileWritten);
    if (temporary_.empty()) {
      if (!SetDeletePending(file_.Get(), false)) return LastError();
    } else if (!RenameIn(file_.Get(), folder_->handle.Get(), target_, replaceExisting)) {
      const DWORD error = ::GetLastError();
      // The user agreed to replace the file; its read-only flag should not stop that.
      if (!replaceExisting || error != ERROR_ACCESS_DENIED || !ClearReadOnly() ||
          !RenameIn(file_.Get(), folder_->handle.Get(), target_, replaceExisting)) {
        return Status::Failure(SystemMessage(error));
      }
    }
    committed_ = true;
    if (marked_) CarryLeftBehindMark(metaWarning);
    // Time and read-only flag in one call, through the handle; the rename kept the handle.
    FILE_BASIC_INFO basic{};  // zero: left as it is
    if (meta.modifiedSeconds) {
      basic.LastWriteTime.QuadPart = FileTime(*meta.modifiedSeconds, meta.modifiedNanoseconds);
    }
    if (meta.readOnly) basic.FileAttributes = FILE_ATTRIBUTE_READONLY;
    if ((basic.LastWriteTime.QuadPart != 0 || basic.FileAttributes != 0) &&
        !::SetFileInformationByHandle(file_.Get(), FileBasicInfo, &basic, sizeof(basic))) {
      metaWarning = SystemMessage(::GetLastError());
    }
    if (!file_.Close()) return LastError();
    return Status::Success();
  }

 private:
  // 100-nanosecond ticks since 1601, or 0 (not set) when the time has no such form.
  static std::int64_t FileTime(std::int64_t seconds, std::uint32_t nanoseconds) {
    constexpr std::int64_t kSeconds1601To1970 = 11644473600;
    constexpr std::int64_t kTicksPerSecond = 10000000;
    if (seconds < -kSeconds1601To1970 ||
        seconds >
            std::numeric_limits<std::int64_t>::max() / kTicksPerSecond - kSeconds1601To1970 - 1) {
      return 0;
    }
    return (seconds + kSeconds1601To1970) * kTicksPerSecond + nanoseconds / 100;
  }

  bool ClearReadOnly() {
    AutoFile existing =
        OpenIn(folder_->handle.Get(), target_, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
               kAnyShare, FILE_OPEN, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT);
    FILE_BASIC_INFO basic{};
    if (!existing ||
        !::GetFileInformationByHandleEx(existing.Get(), FileBasicInfo, &basic, sizeof(basic)) ||
        (basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) {
      return false;
    }
    const DWORD attributes = basic.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
    basic = FILE_BASIC_INFO{};
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(existing.Get(), FileBasicInfo, &basic, sizeof(basic)) !=
           FALSE;
  }

  // On NTFS the stream went with the rename. Where streams are emulated as sibling files
  // (Wine) it is still under the temporary name: follow.
  void CarryLeftBehindMark(std::string& metaWarning) {
    AutoFile left = OpenIn(folder_->handle.Get(), temporary_ + kZoneStream, DELETE, kAnyShare,
                           FILE_OPEN, FILE_NON_DIRECTORY_FILE);
    if (!left) {
      if (!Missing(::GetLastError())) metaWarning = SystemMessage(::GetLastError());
      return;
    }
    if (!RenameIn(left.Get(), folder_->handle.Get(), target_ + kZoneStream, true)) {
      metaWarning = SystemMessage(::GetLastError());
    }
  }

  AutoFile file_;
  std::shared_ptr<const OpenFolder> folder_;
  std::wstring temporary_;
  std::wstring target_;
  const DestinationHook& hook_;
  bool committed_ = false;
  bool marked_ = false;
};

}  // namespace

std::string SystemMessage(unsigned long error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) text = L"Windows error";
  return Narrow(text) + " (" + Narrow(FormatCount(error)) + ")";
}

std::wstring AbsoluteLongPath(const std::wstring& folder) {
  if (folder.empty()) return {};
  std::wstring full;
  if (StartsWith(folder, kLongPrefix)) {
    full = folder;
  } else {
    const DWORD needed = ::GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    full.resize(needed);
    const DWORD length = ::GetFullPathNameW(folder.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return {};
    full.resize(length);
    if (StartsWith(full, L"\\\\.\\")) return {};  // devices are no destination
    if (StartsWith(full, L"\\\\")) {
      full = std::wstring(kLongUncPrefix) + full.substr(2);
    } else {
      full = std::wstring(kLongPrefix) + full;
    }
  }
  // "\\?\C:\" keeps its separator; any other folder loses a trailing one.
  while (full.size() > FirstComponent(full) && full.back() == L'\\') full.pop_back();
  return full;
}

FileDestination::FileDestination(std::wstring root) : root_(std::move(root)) {}

FileDestination::~FileDestination() = default;

Status FileDestination::CreateRoot() {
  // Parents the user named may be missing too; each is created in turn.
  for (size_t at = FirstComponent(root_); at < root_.size();) {
    size_t end = root_.find(L'\\', at);
    if (end == std::wstring::npos) end = root_.size();
    const std::wstring folder = root_.substr(0, end);
    if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES &&
        !::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      return LastError();
    }
    at = end + 1;
  }
  // The root is the user's choice: reached through links if its path has any. Below it,
  // nothing is.
  AutoFile handle(::CreateFileW(root_.c_str(), kFolderAccess | SYNCHRONIZE, kFolderShare, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return LastError();
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle.Get(), FileAttributeTagInfo, &tag, sizeof(tag)))
    return LastError();
  if ((tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FileInTheWay();
  std::wstring path = FinalPath(handle.Get());
  if (path.empty()) return LastError();
  path = WithoutTrailingSeparator(std::move(path));  // a drive's root is "\", its folders "\a"
  ExclusiveLock guard(lock_);
  rootFolder_ = std::shared_ptr<const OpenFolder>(
      std::make_unique<OpenFolder>(OpenFolder{std::move(handle), std::move(path)}));
  recent_.clear();
  return Status::Success();
}

void FileDestination::ReleaseFolders() {
  ExclusiveLock guard(lock_);
  rootFolder_.reset();
  recent_.clear();
}

std::shared_ptr<const OpenFolder> FileDestination::Folder(const std::string& path, Status& status) {
  // The nearest folder on the way that is known: the path itself, an ancestor among the
  // recent, or the root. A walk, not a recursion: the archive decides how deep it goes.
  std::shared_ptr<const OpenFolder> nearest;
  size_t known = path.size();  // how much of `path` `nearest` stands for
  {
    ExclusiveLock guard(lock_);
    if (!rootFolder_) {
      status = Status::Failure("the destination folder is not open");
      return nullptr;
    }
    for (;;) {
      if (known == 0) {
        nearest = rootFolder_;
        break;
      }
      const std::string_view wanted = std::string_view(path).substr(0, known);
      const auto found = std::find_if(recent_.begin(), recent_.end(),
                                      [&](const auto& entry) { return entry.first == wanted; });
      if (found != recent_.end()) {
        std::rotate(recent_.begin(), found, found + 1);
        nearest = recent_.front().second;
        break;
      }
      const size_t slash = wanted.rfind('/');
      known = slash == std::string_view::npos ? 0 : slash;
    }
  }
  // Then one component at a time down to `path`, each opened in the one before.
  while (known < path.size()) {
    const size_t start = known == 0 ? 0 : known + 1;
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::shared_ptr<const OpenFolder> opened =
        OpenChild(*nearest, Widen(std::string_view(path).substr(start, end - start)), status);
    if (!opened) return nullptr;
    constexpr size_t kRecentFolders = 32;
    ExclusiveLock guard(lock_);
    recent_.emplace(recent_.begin(), path.substr(0, end), opened);
    if (recent_.size() > kRecentFolders) recent_.pop_back();
    nearest = std::move(opened);
    known = end;
  }
  return nearest;
}

Status FileDestination::CreateFolder(const std::string& path) {
  Status status;
  return Folder(path, status) ? Status::Success() : status;
}

Existing FileDestination::Exists(const std::string& path) {
  // By name: the answer only decides whether to ask before replacing. The rename itself
  // refuses to replace anything it was not allowed to.
  std::wstring full = root_;
  if (!path.empty() && full.back() != L'\\') full += L'\\';
  const std::wstring name = Widen(path);
  for (wchar_t c : name) full += c == L'/' ? L'\\' : c;
  const DWORD attributes = ::GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Existing::kNothing;
  const Existing found =
      (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Existing::kFolder : Existing::kFile;
  if (path.empty()) return found;
  // Windows also finds a file by its 8.3 short name: "NAME~1.EXE" may be "Name of mine.exe",
  // which the entry must not replace. What was found tells its real name.
  AutoFile opened(
      ::CreateFileW(full.c_str(), FILE_READ_ATTRIBUTES, kAnyShare, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!opened) return found;  // in use: the rename will not get past it either
  const std::wstring real = FinalPath(opened.Get());
  if (!real.empty() && !SameText(LastComponent(real), LastComponent(full)))
    return Existing::kOtherName;
  return found;
}

std::unique_ptr<OutputFile> FileDestination::OpenFile(const std::string& path, Status& status) {
  const size_t slash = path.rfind('/');
  std::shared_ptr<const OpenFolder> parent =
      Folder(slash == std::string::npos ? std::string() : path.substr(0, slash), status);
  if (!parent) return nullptr;
  if (hook_) hook_(DestinationStep::kFolderChecked);
  const std::wstring target =
      Widen(std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1));
  constexpr ACCESS_MASK kFileAccess = GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES;
  constexpr ULONG kFileOptions = FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY;
  if (!zoneMarks_) {
    // A new name: the file is made under it, pending deletion until its commit.
    AutoFile file = OpenIn(parent->handle.Get(), target, kFileAccess,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_CREATE, kFileOptions);
    if (file && SetDeletePending(file.Get(), true)) {
      status = Status::Success();
      return std::make_unique<FileOutput>(std::move(file), std::move(parent), std::wstring(),
                                          target, hook_);
    }
    if (file) {  // made, but it could not be marked: removed again, and the usual route
      file.Close();
      if (!OpenIn(parent->handle.Get(), target, DELETE, kAnyShare, FILE_OPEN,
                  FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT | FILE_DELETE_ON_CLOSE)) {
        status = LastError();
        return nullptr;
      }
    }
  }
  // An existing name (or a file that must carry the download mark from the start): a name of
  // our own beside the target, in the same folder, so the commit is a rename and the old file
  // stays whole until then.
  static std::atomic<unsigned> counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring temporary =
        L"~kzsfx" + FormatCount(::GetCurrentProcessId()) + L"-" + FormatCount(++counter) + L".tmp";
    AutoFile file = OpenIn(parent->handle.Get(), temporary, kFileAccess,
                           FILE_SHARE_READ | FILE_SHARE_DELETE, FILE_CREATE, kFileOptions);
    if (file) {
      status = Status::Success();
      return std::make_unique<FileOutput>(std::move(file), std::move(parent), std::move(temporary),
                                          target, hook_);
    }
    if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  status = LastError();
  return nullptr;
}

bool FileDestination::KeepsZoneMarks() {
  std::shared_ptr<const OpenFolder> root;
  {
    ExclusiveLock guard(lock_);
    root = rootFolder_;
  }
  DWORD flags = 0;
  wchar_t system[MAX_PATH + 1] = {};
  // A volume that cannot be asked is given the benefit of the doubt: each file then says
  // for itself whether its mark was written. So is one that does not say it has streams but
  // is no FAT: Wine keeps them as files beside theirs.
  if (!root || !::GetVolumeInformationByHandleW(root->handle.Get(), nullptr, 0, nullptr, nullptr,
                                                &flags, system, MAX_PATH + 1))
    return true;
  const std::wstring_view name = system;
  return (flags & FILE_NAMED_STREAMS) != 0 ||
         (name != L"FAT" && name != L"FAT32" && name != L"exFAT");
}

std::optional<std::uint64_t> FileDestination::FreeSpace() {
  // The root may not exist yet: ask about the nearest folder that does.
  std::wstring folder = root_;
  for (;;) {
    const DWORD attributes = ::GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      break;
    const size_t first = FirstComponent(root_);
    const size_t slash = folder.rfind(L'\\');
    if (folder.size() <= first || slash == std::wstring::npos || slash + 1 < first)
      return std::nullopt;
    folder.resize(slash + 1 == first ? first : slash);
  }
  if (folder.back() != L'\\') folder += L'\\';
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

}  // namespace kzsfx::win32
