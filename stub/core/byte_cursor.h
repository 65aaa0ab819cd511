// Reads a region of a byte source front to back through one fixed buffer: the central
// directory walks take records from it without holding the whole directory.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "stub/core/byte_source.h"

namespace kzsfx {

class ByteCursor {
 public:
  ByteCursor(ByteSource& source, std::uint64_t at, std::uint64_t end)
      : source_(source), at_(at), end_(end) {}

  std::uint64_t Position() const { return at_; }

  // Points at `count` contiguous bytes, or null past the end or on a read error.
  const unsigned char* Take(std::size_t count) {
    if (count > end_ - at_ || count > buffer_.size()) return nullptr;
    if (at_ < bufferAt_ || at_ + count > bufferAt_ + buffered_) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size(), end_ - at_));
      if (!ReadExact(source_, at_, buffer_.data(), want)) return nullptr;
      bufferAt_ = at_;
      buffered_ = want;
    }
    const unsigned char* p = buffer_.data() + (at_ - bufferAt_);
    at_ += count;
    return p;
  }

 private:
  ByteSource& source_;
  std::uint64_t at_, end_;
  std::vector<unsigned char> buffer_ = std::vector<unsigned char>(128 * 1024);
  std::uint64_t bufferAt_ = 0;
  std::size_t buffered_ = 0;
};

}  // namespace kzsfx
