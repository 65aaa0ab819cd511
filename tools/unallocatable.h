// A memory request that no process can satisfy, for the out-of-memory report: almost half of
// the 32-bit address space, or all of the 64-bit user space. The frame probe asks for it and the
// frame test reads its size in the report.
#pragma once

#ifdef _WIN64
#define QUILLET_UNALLOCATABLE 140737488355312
#else
#define QUILLET_UNALLOCATABLE 2147483632
#endif
#define QUILLET_UNALLOCATABLE_TEXT_OF(bytes) #bytes
#define QUILLET_UNALLOCATABLE_TEXT(bytes) QUILLET_UNALLOCATABLE_TEXT_OF(bytes)
// The size as the report prints it, in decimal.
#define QUILLET_UNALLOCATABLE_BYTES QUILLET_UNALLOCATABLE_TEXT(QUILLET_UNALLOCATABLE)
