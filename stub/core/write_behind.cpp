// Writing one large file on a second thread while its next blocks decode.
#include "stub/core/write_behind.h"

#include <algorithm>
#include <cstring>

namespace kzsfx {

WriteBehind::WriteBehind(Workers& workers, OutputFile& out) : workers_(workers), out_(out) {
  for (Block& block : blocks_) block.bytes = std::make_unique<unsigned char[]>(block_size);
}

void WriteBehind::write_oldest() {
  writing_ = true;
  Block& block = blocks_[oldest_];
  const bool write = failure_.ok();  // after a failure the rest is only counted off
  workers_.unlock();
  Status status = write ? out_.write(block.bytes.get(), block.size) : Status::success();
  workers_.lock();
  if (!status && failure_.ok()) failure_ = std::move(status);
  block.size = 0;
  oldest_ = (oldest_ + 1) % slots;
  --ready_;
  writing_ = false;
  workers_.wake();
}

void WriteBehind::publish() {
  filling_ = nullptr;
  ++ready_;
  workers_.wake();
}

Status WriteBehind::write(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    if (!filling_) {
      WorkersLock guard(workers_);
      // Waits only while the other thread writes, which wakes us when it is done.
      while (ready_ == slots) {
        if (writing_)
          workers_.wait();
        else
          write_oldest();
      }
      if (!failure_.ok()) return failure_;
      filling_ = &blocks_[(oldest_ + ready_) % slots];
    }
    const std::size_t part = std::min(size, block_size - filling_->size);
    std::memcpy(filling_->bytes.get() + filling_->size, bytes, part);
    filling_->size += part;
    bytes += part;
    size -= part;
    if (filling_->size == block_size) {
      WorkersLock guard(workers_);
      publish();
    }
  }
  return Status::success();
}

void WriteBehind::finish() {
  WorkersLock guard(workers_);
  if (filling_ && filling_->size > 0) publish();
  finished_ = true;
  workers_.wake();
}

void WriteBehind::write_out() {
  WorkersLock guard(workers_);
  for (;;) {
    if (ready_ > 0 && !writing_)
      write_oldest();
    else if (finished_ && ready_ == 0)
      return;
    else
      workers_.wait();
  }
}

}  // namespace kzsfx
