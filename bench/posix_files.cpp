// pread, openat, renameat2: the bench's byte source and destination.
#include "bench/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kzsfx::bench {

namespace {

Status failure() { return Status::Failure(std::strerror(errno)); }

class PosixOutput final : public OutputFile {
 public:
  PosixOutput(int root, int fd, std::string temporary, std::string target)
      : root_(root), fd_(fd), temporary_(std::move(temporary)), target_(std::move(target)) {}
  ~PosixOutput() override {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlinkat(root_, temporary_.c_str(), 0);
  }
  Status Write(const void* data, std::size_t size) override {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t n = ::write(fd_, bytes, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return failure();
      }
      bytes += n;
      size -= static_cast<std::size_t>(n);
    }
    return Status::Success();
  }
  Status SetZoneMark(std::string_view) override { return Status::Success(); }
  Status Commit(const FileMetadata& meta, bool replace_existing,
                std::string& meta_warning) override {
    if (meta.modifiedSeconds) {
      const timespec times[2] = {{0, UTIME_OMIT},
                                 {static_cast<time_t>(*meta.modifiedSeconds),
                                  static_cast<long>(meta.modifiedNanoseconds)}};
      if (::futimens(fd_, times) != 0) meta_warning = std::strerror(errno);
    }
    if (meta.readOnly || meta.executable) {
      if (::fchmod(fd_, meta.readOnly ? 0444 : 0755) != 0) meta_warning = std::strerror(errno);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return failure();
    if (::renameat2(root_, temporary_.c_str(), root_, target_.c_str(),
                    replace_existing ? 0 : RENAME_NOREPLACE) != 0)
      return failure();
    committed_ = true;
    return Status::Success();
  }

 private:
  int root_;
  int fd_;
  std::string temporary_, target_;
  bool committed_ = false;
};

}  // namespace

PosixSource::PosixSource(const char* path) : fd_(::open(path, O_RDONLY | O_CLOEXEC)) {
  struct stat st {};
  if (fd_ >= 0 && ::fstat(fd_, &st) == 0) size_ = static_cast<std::uint64_t>(st.st_size);
}

PosixSource::~PosixSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<std::size_t> PosixSource::ReadAt(std::uint64_t offset, void* buffer,
                                               std::size_t count) {
  for (;;) {
    const ssize_t n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) return std::nullopt;
  }
}

PosixDestination::PosixDestination(const std::string& root) {
  ::mkdir(root.c_str(), 0777);
  root_ = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

PosixDestination::~PosixDestination() {
  if (root_ >= 0) ::close(root_);
}

Status PosixDestination::CreateFolder(const std::string& path) {
  const std::lock_guard guard(folders_lock_);
  if (path.empty() || folders_.count(path)) return Status::Success();
  // Parents first, each made or checked once; a link or file in the way is refused.
  for (std::size_t at = path.find('/');; at = path.find('/', at + 1)) {
    const std::string prefix = path.substr(0, at);
    if (!folders_.count(prefix)) {
      if (::mkdirat(root_, prefix.c_str(), 0777) != 0) {
        struct stat st {};
        if (errno != EEXIST || ::fstatat(root_, prefix.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
          return failure();
        if (!S_ISDIR(st.st_mode)) return Status::Failure("a file of that name is in the way");
      }
      folders_.insert(prefix);
    }
    if (at == std::string::npos) return Status::Success();
  }
}

Existing PosixDestination::Exists(const std::string& path) {
  struct stat st {};
  if (::fstatat(root_, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Existing::kNothing;
  return S_ISDIR(st.st_mode) ? Existing::kFolder : Existing::kFile;
}

std::unique_ptr<OutputFile> PosixDestination::OpenFile(const std::string& path, Status& status) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temporary = folder + ".kzsfx-" + std::to_string(++counter_) + ".tmp";
    const int fd =
        ::openat(root_, temporary.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd >= 0) return std::make_unique<PosixOutput>(root_, fd, std::move(temporary), path);
    if (errno != EEXIST) break;
  }
  status = failure();
  return nullptr;
}

std::optional<std::uint64_t> PosixDestination::FreeSpace() {
  struct statvfs st {};
  if (::fstatvfs(root_, &st) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

}  // namespace kzsfx::bench
