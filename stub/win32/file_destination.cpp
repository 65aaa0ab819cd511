// Writing extracted files below the destination folder.
#include "file_destination.h"

#include <windows.h>

#include <vector>

#include "handles.h"
#include "messages.h"

namespace kzsfx::win32 {
namespace {

constexpr std::wstring_view long_prefix = L"\\\\?\\";
constexpr std::wstring_view long_unc_prefix = L"\\\\?\\UNC\\";
constexpr const wchar_t* zone_stream = L":Zone.Identifier";

Status last_error() { return Status::failure(system_message(::GetLastError())); }

bool starts_with(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

// Junctions and symbolic links name another place; anything below the destination that is
// one could carry the extraction outside it. Other reparse points (cloud placeholders,
// deduplicated files) are ordinary folders as far as we are concerned. A reparse point
// without a tag (how Wine shows a Unix symbolic link) counts as a link.
bool is_link(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    ::FindClose(search);
    return (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
           (found.dwReserved0 == 0 || IsReparseTagNameSurrogate(found.dwReserved0));
}

// Makes `path` an existing real folder: creates it when missing, refuses a file or a link.
Status ensure_folder(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (::CreateDirectoryW(path.c_str(), nullptr)) return Status::success();
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return last_error();
        attributes = ::GetFileAttributesW(path.c_str());
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Status::failure("a file of that name is in the way");
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 && is_link(path)) {
        return Status::failure("a link of that name is in the way; not followed");
    }
    return Status::success();
}

// Where the components that may be created begin: after "\\?\C:\" or "\\?\UNC\server\share\".
size_t first_component(const std::wstring& root) {
    if (starts_with(root, long_unc_prefix)) {
        size_t at = root.find(L'\\', long_unc_prefix.size());  // end of the server name
        if (at == std::wstring::npos) return root.size();
        at = root.find(L'\\', at + 1);  // end of the share name
        return at == std::wstring::npos ? root.size() : at + 1;
    }
    const size_t at = root.find(L'\\', long_prefix.size());
    return at == std::wstring::npos ? root.size() : at + 1;
}

class FileOutput final : public OutputFile {
public:
    FileOutput(FileHandle file, std::wstring temporary, std::wstring target)
        : file_(std::move(file)), temporary_(std::move(temporary)), target_(std::move(target)) {}

    ~FileOutput() override {
        if (committed_) return;
        file_.close();
        ::DeleteFileW(temporary_.c_str());
        if (marked_) ::DeleteFileW((temporary_ + zone_stream).c_str());
    }

    Status write(const void* data, std::size_t size) override {
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const DWORD chunk = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file_.get(), bytes, chunk, &written, nullptr)) return last_error();
            bytes += written;
            size -= written;
        }
        return Status::success();
    }

    Status set_zone_mark(std::string_view content) override {
        marked_ = true;
        FileHandle stream(::CreateFileW((temporary_ + zone_stream).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!stream) return last_error();
        DWORD written = 0;
        if (!::WriteFile(stream.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) ||
            written != content.size()) {
            return last_error();
        }
        if (!stream.close()) return last_error();
        return Status::success();
    }

    Status commit(const FileMetadata& meta, bool replace_existing, std::string& meta_warning) override {
        // The time goes on through the open handle; a rename keeps it.
        if (meta.modified_seconds) {
            constexpr std::int64_t seconds_1601_to_1970 = 11644473600;
            const std::int64_t ticks = (*meta.modified_seconds + seconds_1601_to_1970) * 10000000 +
                                       meta.modified_nanoseconds / 100;
            if (ticks >= 0) {
                FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(static_cast<std::uint64_t>(ticks) >> 32)};
                if (!::SetFileTime(file_.get(), nullptr, nullptr, &time)) meta_warning = system_message(::GetLastError());
            }
        }
        if (!file_.close()) return last_error();
        const DWORD flags = replace_existing ? MOVEFILE_REPLACE_EXISTING : 0;
        if (!::MoveFileExW(temporary_.c_str(), target_.c_str(), flags)) {
            const DWORD error = ::GetLastError();
            // The user agreed to replace the file; its read-only flag should not stop that.
            const DWORD attributes = ::GetFileAttributesW(target_.c_str());
            if (!replace_existing || error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
                (attributes & FILE_ATTRIBUTE_READONLY) == 0 ||
                !::SetFileAttributesW(target_.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) ||
                !::MoveFileExW(temporary_.c_str(), target_.c_str(), flags)) {
                return Status::failure(system_message(error));
            }
        }
        committed_ = true;
        // On NTFS the stream went with the rename. A file system that keeps "streams" as
        // sibling files (Wine's emulation) still has it under the temporary name: follow.
        if (marked_) {
            const std::wstring left_behind = temporary_ + zone_stream;
            if (::GetFileAttributesW(left_behind.c_str()) != INVALID_FILE_ATTRIBUTES &&
                !::MoveFileExW(left_behind.c_str(), (target_ + zone_stream).c_str(), MOVEFILE_REPLACE_EXISTING)) {
                meta_warning = system_message(::GetLastError());
            }
        }
        if (meta.read_only && !::SetFileAttributesW(target_.c_str(), FILE_ATTRIBUTE_READONLY)) {
            meta_warning = system_message(::GetLastError());
        }
        return Status::success();
    }

private:
    FileHandle file_;
    std::wstring temporary_;
    std::wstring target_;
    bool committed_ = false;
    bool marked_ = false;
};

}  // namespace

std::string system_message(unsigned long error) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    if (text.empty()) text = L"Windows error";
    return narrow(text) + " (" + narrow(format_count(error)) + ")";
}

std::wstring absolute_long_path(const std::wstring& folder) {
    if (folder.empty()) return {};
    std::wstring full;
    if (starts_with(folder, long_prefix)) {
        full = folder;
    } else {
        const DWORD needed = ::GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
        if (needed == 0) return {};
        full.resize(needed);
        const DWORD length = ::GetFullPathNameW(folder.c_str(), needed, full.data(), nullptr);
        if (length == 0 || length >= needed) return {};
        full.resize(length);
        if (starts_with(full, L"\\\\.\\")) return {};  // devices are no destination
        if (starts_with(full, L"\\\\")) {
            full = std::wstring(long_unc_prefix) + full.substr(2);
        } else {
            full = std::wstring(long_prefix) + full;
        }
    }
    // "\\?\C:\" keeps its separator; any other folder loses a trailing one.
    while (full.size() > first_component(full) && full.back() == L'\\') full.pop_back();
    return full;
}

FileDestination::FileDestination(std::wstring root) : root_(std::move(root)) {}

std::wstring FileDestination::full(const std::string& path) const {
    std::wstring result = root_;
    if (!result.empty() && result.back() != L'\\') result += L'\\';
    for (wchar_t c : widen(path)) result += c == L'/' ? L'\\' : c;
    return result;
}

Status FileDestination::create_root() {
    // Parents the user named may be missing too; each is created in turn.
    for (size_t at = first_component(root_); at < root_.size();) {
        size_t end = root_.find(L'\\', at);
        if (end == std::wstring::npos) end = root_.size();
        const std::wstring folder = root_.substr(0, end);
        if (::GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES &&
            !::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return last_error();
        }
        at = end + 1;
    }
    const DWORD attributes = ::GetFileAttributesW(root_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return last_error();
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return Status::failure("a file of that name is in the way");
    return Status::success();
}

Status FileDestination::create_folder(const std::string& path) {
    // One component at a time from the root, each checked, so no link is ever followed.
    std::wstring current = root_;
    size_t at = 0;
    while (at < path.size()) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        if (current.back() != L'\\') current += L'\\';
        current += widen(std::string_view(path).substr(at, end - at));
        if (Status status = ensure_folder(current); !status) return status;
        at = end + 1;
    }
    return Status::success();
}

Existing FileDestination::exists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(full(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Existing::nothing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Existing::folder : Existing::file;
}

std::unique_ptr<OutputFile> FileDestination::open_file(const std::string& path, Status& status) {
    const size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
        status = create_folder(path.substr(0, slash));
        if (!status) return nullptr;
    }
    const std::wstring target = full(path);
    const std::wstring folder = target.substr(0, target.rfind(L'\\') + 1);
    // A name of our own beside the target: on the same volume, so the commit is a rename.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring temporary = folder + L"~kzsfx" + format_count(::GetCurrentProcessId()) + L"-" +
                                       format_count(++counter) + L".tmp";
        FileHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (file) {
            status = Status::success();
            return std::make_unique<FileOutput>(std::move(file), temporary, target);
        }
        if (::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    status = last_error();
    return nullptr;
}

std::optional<std::uint64_t> FileDestination::free_space() {
    // The root may not exist yet: ask about the nearest folder that does.
    std::wstring folder = root_;
    for (;;) {
        const DWORD attributes = ::GetFileAttributesW(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) break;
        const size_t first = first_component(root_);
        const size_t slash = folder.rfind(L'\\');
        if (folder.size() <= first || slash == std::wstring::npos || slash + 1 < first) return std::nullopt;
        folder.resize(slash + 1 == first ? first : slash);
    }
    if (folder.back() != L'\\') folder += L'\\';
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
}

}  // namespace kzsfx::win32
