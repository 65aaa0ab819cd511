// The libarchive side of reading: handle lifetime, I/O callbacks, formats and passwords.
#include "stub/core/archive_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "stub/core/decoder_limits.h"
#include "stub/core/entry_errors.h"

namespace kzsfx {

void ArchiveFree::operator()(archive* a) const { archive_read_free(a); }

ArchiveReader::ArchiveReader(ByteSource& source, std::uint64_t offset, const Options& options,
                             Observer& observer)
    : source_(source),
      base_(offset),
      length_(source.size() > offset ? source.size() - offset : 0),
      options_(options),
      observer_(observer) {}

ArchiveReader::~ArchiveReader() = default;

bool ArchiveReader::PollCancel() {
  if (!cancelled_ && observer_.Cancelled()) cancelled_ = true;
  return cancelled_;
}

la_ssize_t ArchiveReader::ReadCallback(archive* a, void* self, const void** buffer) {
  auto& r = *static_cast<ArchiveReader*>(self);
  if (r.PollCancel()) {
    archive_set_error(a, ECANCELED, "Cancelled");
    return -1;
  }
  if (r.position_ >= r.length_) return 0;
  std::size_t want = kReadBlockSize;
  if (r.length_ - r.position_ < want) want = static_cast<std::size_t>(r.length_ - r.position_);
  auto got = r.source_.ReadAt(r.base_ + r.position_, r.block_.get(), want);
  if (!got) {
    r.readFailed_ = true;
    archive_set_error(a, EIO, "Cannot read the archive");
    return -1;
  }
  r.position_ += *got;
  *buffer = r.block_.get();
  return static_cast<la_ssize_t>(*got);
}

la_int64_t ArchiveReader::SeekCallback(archive*, void* self, la_int64_t offset, int whence) {
  auto& r = *static_cast<ArchiveReader*>(self);
  la_int64_t from = 0;
  if (whence == SEEK_CUR)
    from = static_cast<la_int64_t>(r.position_);
  else if (whence == SEEK_END)
    from = static_cast<la_int64_t>(r.length_);
  la_int64_t target = from + offset;
  if (target < 0) return ARCHIVE_FATAL;
  r.position_ = static_cast<std::uint64_t>(target);
  return target;
}

la_int64_t ArchiveReader::SkipCallback(archive*, void* self, la_int64_t request) {
  auto& r = *static_cast<ArchiveReader*>(self);
  if (request <= 0 || r.position_ >= r.length_) return 0;
  std::uint64_t step = static_cast<std::uint64_t>(request);
  if (step > r.length_ - r.position_) step = r.length_ - r.position_;
  r.position_ += step;
  return static_cast<la_int64_t>(step);
}

const char* ArchiveReader::PassphraseCallback(archive*, void* self) {
  auto& r = *static_cast<ArchiveReader*>(self);
  if (r.pendingPasswords_.empty()) {
    if (r.PollCancel()) return nullptr;
    r.pendingPasswords_ = r.observer_.AskPassword(r.entryPath_, r.askedForEntry_);
    r.askedForEntry_ = true;
    if (r.pendingPasswords_.empty()) return nullptr;
  }
  r.handedPassword_ = r.pendingPasswords_.front();
  r.pendingPasswords_.erase(r.pendingPasswords_.begin());
  return r.handedPassword_.c_str();
}

void ArchiveReader::BeginEntry(const std::string& path) {
  entryPath_ = path;
  askedForEntry_ = false;
  pendingPasswords_.clear();
}

int ArchiveReader::NextHeader(archive_entry*& entry, bool& cancelled, Fatal& fatal,
                              std::string& detail) {
  const int status = archive_read_next_header(handle_.get(), &entry);
  if (status < ARCHIVE_FAILED) {
    if (cancelled_) {
      cancelled = true;
    } else {
      fatal = HeaderFailure();
      if (const char* message = archive_error_string(handle_.get())) detail = message;
    }
  }
  return status;
}

Fatal ArchiveReader::HeaderFailure() const {
  if (readFailed_) return Fatal::kReadError;
  // A decoder of the headers themselves (7z's packed header) asked for more than its limit.
  if (TakeRefusedDecoderMemory()) return Fatal::kUnsupportedArchive;
  const char* message = archive_error_string(handle_.get());
  const std::string_view text = message ? message : "";
  if (archive_errno(handle_.get()) == ENOMEM)
    return DecoderMemoryRefused(text) ? Fatal::kUnsupportedArchive : Fatal::kOutOfMemory;
  if (text.find("not supported") != std::string_view::npos ||
      text.find("nsupported") != std::string_view::npos)
    return Fatal::kUnsupportedArchive;
  return Fatal::kCorruptArchive;
}

Fatal ArchiveReader::ClassifyOpenFailure() const {
  if (Fatal fatal = HeaderFailure(); fatal != Fatal::kCorruptArchive) return fatal;
  // A zip or 7z signature at the start means a damaged or cut-off archive rather than
  // something else entirely: say so instead of "unknown format".
  unsigned char head[6] = {};
  auto got = source_.ReadAt(base_, head, sizeof head);
  if (got && *got >= 4 &&
      (std::memcmp(head, "PK\3\4", 4) == 0 || std::memcmp(head, "PK\5\6", 4) == 0))
    return Fatal::kCorruptArchive;
  if (got && *got == sizeof head && std::memcmp(head, "7z\xBC\xAF\x27\x1C", 6) == 0)
    return Fatal::kCorruptArchive;
  return Fatal::kUnknownFormat;
}

bool ArchiveReader::Open(Fatal& fatal, std::string& detail) {
  handle_.reset(archive_read_new());
  block_.reset(new (std::nothrow) unsigned char[kReadBlockSize]);
  if (!handle_ || !block_) {
    fatal = Fatal::kOutOfMemory;
    return false;
  }
  archive* a = handle_.get();
  // The seekable reader trusts the central directory and wins whenever it finds one; the
  // streaming reader takes an archive without one (an empty zip, a cut-off download) entry
  // by entry, so whatever is complete still comes out.
  archive_read_support_format_zip_seekable(a);
  archive_read_support_format_zip_streamable(a);
  archive_read_support_format_7zip(a);
  if (!options_.nameCharset.empty())
    archive_read_set_format_option(a, "zip", "hdrcharset", options_.nameCharset.c_str());
  for (const auto& password : options_.password) archive_read_add_passphrase(a, password.c_str());
  archive_read_set_passphrase_callback(a, this, &ArchiveReader::PassphraseCallback);

  archive_read_set_callback_data(a, this);
  archive_read_set_read_callback(a, &ArchiveReader::ReadCallback);
  archive_read_set_seek_callback(a, &ArchiveReader::SeekCallback);
  archive_read_set_skip_callback(a, &ArchiveReader::SkipCallback);
  position_ = 0;
  if (archive_read_open1(a) == ARCHIVE_OK) return true;
  if (cancelled_) return false;
  fatal = ClassifyOpenFailure();
  if (const char* message = archive_error_string(a)) detail = message;
  return false;
}

}  // namespace kzsfx
