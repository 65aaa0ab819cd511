// The platform half of the allocator: raw heap calls and the bounds of the image's constant data.
#pragma once

#include <cstddef>

namespace quillet::platform {

// Null on exhaustion; a size of 0 still gives a block.
void* HeapAllocate(std::size_t size);
void* HeapResize(void* block, std::size_t size);
void HeapRelease(void* block);
// The end of the constant-data range holding address, or null when it lies in none.
const unsigned char* ConstantDataEnd(const void* address);

}  // namespace quillet::platform
