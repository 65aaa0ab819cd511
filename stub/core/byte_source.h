// Random access to the bytes of our own executable, and a view of the archive inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace kzsfx {

// A read-only file seen as bytes at 64-bit offsets. The Windows side wraps a HANDLE opened
// on our own exe; tests wrap a posix file or a memory block. Not required to be thread-safe:
// the engine's threads read one at a time.
class ByteSource {
 public:
  virtual ~ByteSource() = default;

  // Total length in bytes.
  virtual std::uint64_t size() const = 0;

  // Reads up to `count` bytes at `offset` into `buffer`. Returns how many were read (0 at or
  // past the end), or nothing on an I/O error.
  virtual std::optional<std::size_t> ReadAt(std::uint64_t offset, void* buffer,
                                            std::size_t count) = 0;
};

// Reads exactly `count` bytes or reports failure (short read or I/O error).
bool ReadExact(ByteSource& source, std::uint64_t offset, void* buffer, std::size_t count);

}  // namespace kzsfx
