// Writing one large file on a second thread while its next blocks decode.
#include "stub/core/write_behind.h"

#include <algorithm>
#include <cstring>

namespace kzsfx {

WriteBehind::WriteBehind(Workers& workers, OutputFile& out) : workers_(workers), out_(out) {
  for (Block& block : blocks_) block.bytes = std::make_unique<unsigned char[]>(kBlockSize);
}

void WriteBehind::WriteOldest() {
  writing_ = true;
  Block& block = blocks_[oldest_];
  const bool write = failure_.Ok();  // after a failure the rest is only counted off
  workers_.unlock();
  Status status = write ? out_.Write(block.bytes.get(), block.size) : Status::Success();
  workers_.lock();
  if (!status && failure_.Ok()) failure_ = std::move(status);
  block.size = 0;
  oldest_ = (oldest_ + 1) % kSlots;
  --ready_;
  writing_ = false;
  workers_.Wake();
}

void WriteBehind::Publish() {
  filling_ = nullptr;
  ++ready_;
  workers_.Wake();
}

Status WriteBehind::Write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    if (!filling_) {
      WorkersLock guard(workers_);
      // Waits only while the other thread writes, which wakes us when it is done.
      while (ready_ == kSlots) {
        if (writing_)
          workers_.Wait();
        else
          WriteOldest();
      }
      if (!failure_.Ok()) return failure_;
      filling_ = &blocks_[(oldest_ + ready_) % kSlots];
    }
    const std::size_t part = std::min(size, kBlockSize - filling_->size);
    std::memcpy(filling_->bytes.get() + filling_->size, bytes, part);
    filling_->size += part;
    bytes += part;
    size -= part;
    if (filling_->size == kBlockSize) {
      WorkersLock guard(workers_);
      Publish();
    }
  }
  return Status::Success();
}

void WriteBehind::Finish() {
  WorkersLock guard(workers_);
  if (filling_ && filling_->size > 0) Publish();
  finished_ = true;
  workers_.Wake();
}

void WriteBehind::WriteOut() {
  WorkersLock guard(workers_);
  for (;;) {
    if (ready_ > 0 && !writing_)
      WriteOldest();
    else if (finished_ && ready_ == 0)
      return;
    else
      workers_.Wait();
  }
}

}  // namespace kzsfx
