// The core's files natively, for the bench: our exe read with pread, files written below one
// folder with as few system calls per file as the engine's contract allows.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"

namespace kzsfx::bench {

class PosixSource final : public ByteSource {
 public:
  explicit PosixSource(const char* path);
  ~PosixSource() override;
  bool ok() const { return fd_ >= 0; }
  std::uint64_t size() const override { return size_; }
  std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// Per file: one fstatat (the engine's existence check), openat of a temporary name, the
// writes, futimens through the descriptor, close and renameat2. Folders are created once and
// remembered; every path is resolved against the destination's descriptor.
class PosixDestination final : public Destination {
 public:
  explicit PosixDestination(const std::string& root);
  ~PosixDestination() override;
  bool ok() const { return root_ >= 0; }
  Status CreateFolder(const std::string& path) override;
  Existing Exists(const std::string& path) override;
  std::unique_ptr<OutputFile> OpenFile(const std::string& path, Status& status) override;
  std::optional<std::uint64_t> FreeSpace() override;

 private:
  int root_ = -1;
  std::atomic<unsigned> counter_ = 0;
  std::mutex folders_lock_;
  std::unordered_set<std::string> folders_;  // made or found by us, under folders_lock_
};

}  // namespace kzsfx::bench
