// The allocator every text and buffer goes through, with the fatal report on exhaustion.
#include "base/memory.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

#include "base/fatal.h"
#include "base/memory_platform.h"
#include "base/user_texts.h"

namespace quillet {
namespace {

[[noreturn]] void ReportExhaustion(std::size_t size) {
  // Formatted into a fixed buffer: the heap has just failed us.
  constexpr std::string_view pattern = kAllocationFailedPattern;
  const std::size_t hole = pattern.find("%d");
  char message[100] = {};
  char* out = message;
  out = std::copy_n(pattern.data(), hole, out);
  out = std::to_chars(out, message + sizeof message - 1, size).ptr;
  const std::string_view rest = pattern.substr(hole + 2);
  const std::size_t room = static_cast<std::size_t>(message + sizeof message - 1 - out);
  std::memcpy(out, rest.data(), std::min(rest.size(), room));
  ReportFatalError(message, 0);
}

}  // namespace

void* TryAllocateMemory(std::size_t size) { return platform::HeapAllocate(size); }

void* AllocateMemory(std::size_t size) {
  void* block = platform::HeapAllocate(size);
  if (!block) ReportExhaustion(size);
  return block;
}

void* ResizeMemory(void* block, std::size_t size) {
  if (!block) return AllocateMemory(size);
  if (const unsigned char* end = platform::ConstantDataEnd(block)) {
    // Constant data is never touched: copy what the image holds from here on.
    const auto available = static_cast<std::size_t>(end - static_cast<const unsigned char*>(block));
    void* copy = AllocateMemory(size);
    std::memcpy(copy, block, std::min(size, available));
    return copy;
  }
  void* resized = platform::HeapResize(block, size);
  if (!resized) ReportExhaustion(size);
  return resized;
}

void FreeMemory(const void* block) {
  if (!block || IsConstantData(block)) return;
  platform::HeapRelease(const_cast<void*>(block));
}

bool IsConstantData(const void* address) {
  return address && platform::ConstantDataEnd(address) != nullptr;
}

}  // namespace quillet
