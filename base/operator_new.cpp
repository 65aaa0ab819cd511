// The allocator behind C++'s own allocations too: containers and units take their memory from
// the process heap, and running out ends in the fatal report, not an abort. Linked by the
// programs that want it, not part of quillet_base: natively the sanitizers own operator new.
#include <cstddef>
#include <new>

#include "base/memory.h"

void* operator new(std::size_t size) { return quillet::AllocateMemory(size); }
void* operator new[](std::size_t size) { return quillet::AllocateMemory(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return quillet::TryAllocateMemory(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return quillet::TryAllocateMemory(size);
}
void operator delete(void* block) noexcept { quillet::FreeMemory(block); }
void operator delete[](void* block) noexcept { quillet::FreeMemory(block); }
void operator delete(void* block, std::size_t) noexcept { quillet::FreeMemory(block); }
void operator delete[](void* block, std::size_t) noexcept { quillet::FreeMemory(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { quillet::FreeMemory(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { quillet::FreeMemory(block); }
