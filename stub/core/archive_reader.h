// libarchive opened over the appended archive: callbacks on a ByteSource at a 64-bit offset.
#pragma once

#include <archive.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stub/core/byte_source.h"
#include "stub/core/observer.h"
#include "stub/core/options.h"
#include "stub/core/results.h"

namespace kzsfx {

struct ArchiveFree {
  void operator()(archive* a) const;
};
using ArchiveHandle = std::unique_ptr<archive, ArchiveFree>;

// Size of the buffer libarchive reads our exe through; fixed whatever the archive's size.
inline constexpr std::size_t kReadBlockSize = 64 * 1024;

// One reading pass over the archive. Reads go straight to the source (no copy of the
// archive), cancellation is polled on every read so even a long solid block stops promptly,
// and passwords come from the options first, then from the observer.
class ArchiveReader {
 public:
  ArchiveReader(ByteSource& source, std::uint64_t offset, const Options& options,
                Observer& observer);
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // Recognises the format by content. On failure `fatal` says why (cancellation is
  // reported through cancelled()).
  bool Open(Fatal& fatal, std::string& detail);

  archive* get() const { return handle_.get(); }
  bool Cancelled() const { return cancelled_; }
  bool ReadFailed() const { return readFailed_; }

  // Names the entry a password prompt is about, and resets the retry state.
  void BeginEntry(const std::string& path);

  // Why reading the headers stopped, after a header call failed (not cancelled).
  Fatal HeaderFailure() const;

  // The next header, as archive_read_next_header answers. When the answer stops the reading
  // (below ARCHIVE_FAILED), `cancelled` is set, or `fatal` and `detail` say why.
  int NextHeader(archive_entry*& entry, bool& cancelled, Fatal& fatal, std::string& detail);

 private:
  static la_ssize_t ReadCallback(archive* a, void* self, const void** buffer);
  static la_int64_t SeekCallback(archive* a, void* self, la_int64_t offset, int whence);
  static la_int64_t SkipCallback(archive* a, void* self, la_int64_t request);
  static const char* PassphraseCallback(archive* a, void* self);

  bool PollCancel();
  Fatal ClassifyOpenFailure() const;

  ByteSource& source_;
  const std::uint64_t base_;
  const std::uint64_t length_;
  const Options& options_;
  Observer& observer_;
  ArchiveHandle handle_;
  std::unique_ptr<unsigned char[]> block_;
  std::uint64_t position_ = 0;
  bool cancelled_ = false;
  bool readFailed_ = false;

  std::string entryPath_;
  bool askedForEntry_ = false;
  std::vector<std::string> pendingPasswords_;
  std::string handedPassword_;  // kept alive until libarchive has copied it
};

}  // namespace kzsfx
