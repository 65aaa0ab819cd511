// The native heap (malloc) and the read-only segments of the main executable.
#include <link.h>

#include <array>
#include <cstdint>
#include <cstdlib>

#include "base/memory_platform.h"

namespace quillet::platform {
namespace {

struct Range {
  std::uintptr_t begin = 0;
  std::uintptr_t end = 0;
};

struct ReadOnlySegments {
  std::array<Range, 16> ranges{};
  std::size_t count = 0;
};

// The first object dl_iterate_phdr reports is the main executable.
int CollectMainSegments(dl_phdr_info* info, std::size_t, void* data) {
  auto* segments = static_cast<ReadOnlySegments*>(data);
  for (ElfW(Half) i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& header = info->dlpi_phdr[i];
    if (header.p_type != PT_LOAD || (header.p_flags & PF_W) || header.p_filesz == 0) continue;
    if (segments->count == segments->ranges.size()) break;
    const std::uintptr_t begin = info->dlpi_addr + header.p_vaddr;
    segments->ranges[segments->count++] = {begin, begin + header.p_filesz};
  }
  return 1;
}

const ReadOnlySegments& MainSegments() {
  static const ReadOnlySegments segments = [] {
    ReadOnlySegments found;
    dl_iterate_phdr(CollectMainSegments, &found);
    return found;
  }();
  return segments;
}

}  // namespace

void* HeapAllocate(std::size_t size) { return std::malloc(size ? size : 1); }

void* HeapResize(void* block, std::size_t size) { return std::realloc(block, size ? size : 1); }

void HeapRelease(void* block) { std::free(block); }

const unsigned char* ConstantDataEnd(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  const ReadOnlySegments& segments = MainSegments();
  for (std::size_t i = 0; i < segments.count; ++i) {
    const Range& range = segments.ranges[i];
    if (at >= range.begin && at < range.end)
      return reinterpret_cast<const unsigned char*>(range.end);
  }
  return nullptr;
}

}  // namespace quillet::platform
