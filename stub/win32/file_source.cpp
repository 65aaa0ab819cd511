// Reading our own executable and its download mark.
#include "stub/win32/file_source.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <vector>

#include "stub/win32/relative_open.h"

namespace kzsfx::win32 {

std::wstring OwnExePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

FileSource::FileSource(const std::wstring& path)
    : file_(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {
  LARGE_INTEGER size{};
  if (file_ && ::GetFileSizeEx(file_.Get(), &size)) {
    size_ = static_cast<std::uint64_t>(size.QuadPart);
  } else {
    file_.Reset();
  }
}

std::optional<std::size_t> FileSource::ReadAt(std::uint64_t offset, void* buffer,
                                              std::size_t count) {
  if (offset >= size_ || count == 0) return std::size_t{0};
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file_.Get(), position, nullptr, FILE_BEGIN)) return std::nullopt;
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::size_t done = 0;
  while (done < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
    DWORD read = 0;
    if (!::ReadFile(file_.Get(), bytes + done, chunk, &read, nullptr)) return std::nullopt;
    if (read == 0) break;
    done += read;
  }
  return done;
}

namespace {

constexpr ULONG kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Up to `limit` + 1 bytes of an open stream; empty when it cannot be read (half a record is
// no record).
std::string ReadStream(HANDLE stream, std::size_t limit) {
  std::string content(limit + 1, '\0');
  DWORD total = 0;
  while (total < content.size()) {
    DWORD read = 0;
    if (!::ReadFile(stream, content.data() + total, static_cast<DWORD>(content.size() - total),
                    &read, nullptr)) {
      return std::string();
    }
    if (read == 0) break;
    total += read;
  }
  content.resize(total);
  return content;
}

// The stream by name, for a file system that cannot open a stream relative to its file.
std::optional<std::string> ReadZoneStream(const std::wstring& path, std::size_t limit) {
  // Shared every way: a mark is read whenever it can be, whoever else has it open.
  AutoFile stream(::CreateFileW((path + L":Zone.Identifier").c_str(), GENERIC_READ, kAnyShare,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!stream) {
    // Only these say there is no stream (a volume without streams has none either). Any
    // other failure, such as a denied or locked stream, hides a mark that is there, and
    // taking it for none would make a download look like a trusted local file.
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
        error == ERROR_INVALID_NAME) {
      return std::nullopt;
    }
    return std::string();
  }
  return ReadStream(stream.Get(), limit);
}

// Where the open file is now, as a Win32 path.
std::wstring CurrentPath(HANDLE file) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = ::GetFinalPathNameByHandleW(
        file, buffer.data(), static_cast<DWORD>(buffer.size()), VOLUME_NAME_DOS);
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

}  // namespace

std::optional<std::string> FileSource::ZoneMark(std::size_t limit) const {
  // NTFS opens a stream relative to its file's handle, whatever the file is called by now.
  AutoFile stream = OpenIn(file_.Get(), L":Zone.Identifier", GENERIC_READ, kAnyShare, FILE_OPEN,
                           FILE_NON_DIRECTORY_FILE);
  if (stream) return ReadStream(stream.Get(), limit);
  // Elsewhere (Wine keeps streams as files beside theirs) by the name the handle has now.
  const std::wstring path = CurrentPath(file_.Get());
  if (path.empty()) return std::string();  // cannot tell: a mark may be there
  return ReadZoneStream(path, limit);
}

}  // namespace kzsfx::win32
