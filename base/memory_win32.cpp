// The process heap, and the read-only initialised-data sections of our own PE image.
#include <windows.h>

#include <cstdint>

#include "base/memory_platform.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace quillet::platform {

void* HeapAllocate(std::size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }

void* HeapResize(void* block, std::size_t size) {
  return HeapReAlloc(GetProcessHeap(), 0, block, size);
}

void HeapRelease(void* block) { HeapFree(GetProcessHeap(), 0, block); }

const unsigned char* ConstantDataEnd(const void* address) {
  // The image this code is linked into: constant texts live in its .rdata.
  const auto* base = reinterpret_cast<const unsigned char*>(&__ImageBase);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    const DWORD flags = section->Characteristics;
    if (!(flags & IMAGE_SCN_CNT_INITIALIZED_DATA) || (flags & IMAGE_SCN_MEM_WRITE)) continue;
    const DWORD size =
        section->Misc.VirtualSize ? section->Misc.VirtualSize : section->SizeOfRawData;
    const auto begin = reinterpret_cast<std::uintptr_t>(base) + section->VirtualAddress;
    if (at >= begin && at < begin + size)
      return reinterpret_cast<const unsigned char*>(begin + size);
  }
  return nullptr;
}

}  // namespace quillet::platform
