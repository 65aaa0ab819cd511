// Exact reads over a ByteSource.
#include "stub/core/byte_source.h"

namespace kzsfx {

bool ReadExact(ByteSource& source, std::uint64_t offset, void* buffer, std::size_t count) {
  auto* out = static_cast<unsigned char*>(buffer);
  while (count > 0) {
    auto got = source.ReadAt(offset, out, count);
    if (!got || *got == 0) return false;
    out += *got;
    offset += *got;
    count -= *got;
  }
  return true;
}

}  // namespace kzsfx
