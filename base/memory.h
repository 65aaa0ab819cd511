// The allocator behind every text and buffer: the process heap, with a fatal report when it
// runs out. Blocks inside the program's constant data are never freed or resized in place.
#pragma once

#include <cstddef>

namespace quillet {

// Never returns null: exhaustion ends the program with "分配 %d 字节内存失败!".
void* AllocateMemory(std::size_t size);
// Returns null on exhaustion, for callers that test for it.
void* TryAllocateMemory(std::size_t size);
// A null block is simply allocated; a constant block is copied into a new one.
void* ResizeMemory(void* block, std::size_t size);
// Nothing happens for null or for an address inside the program's constant data.
void FreeMemory(const void* block);
// True for addresses inside the program image's read-only data.
bool IsConstantData(const void* address);

}  // namespace quillet
