// The memory every liblzma decoder in the process may take, imposed where libarchive starts
// them: libarchive gives liblzma no limit, so a header that the checks made before decoding
// miss (a later xz block, a 7z coder, an encrypted entry's) could make it allocate gigabytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "stub/core/decoder_memory.h"

namespace kzsfx {

// One decoder: the largest dictionary an entry may have, with room for liblzma's own tables.
inline constexpr std::uint64_t kDecoderMemoryLimit = kMaxDictionary + (1u << 20);
// Every decoder at once: half of the 2 GiB a 32-bit process has, the rest for the program,
// its buffers and the address space's fragmentation.
inline constexpr std::uint64_t kDecoderMemoryBudget = 1u << 30;
// How many entries may decode at once, each with a decoder at the limit.
inline constexpr unsigned kMaxParallelDecoders =
    static_cast<unsigned>(kDecoderMemoryBudget / kDecoderMemoryLimit);

// The memory that the last decoder this thread ran asked for, when liblzma refused it for
// exceeding kDecoderMemoryLimit (on Windows also any single block larger than that, such as
// a 7z PPMd model or BCJ2 stream); nothing otherwise. Reading it clears it.
std::optional<std::uint64_t> TakeRefusedDecoderMemory();

// Called where liblzma refuses a decoder for the memory it asks for.
void NoteRefusedDecoderMemory(std::uint64_t asked);

// The entry's own words for such a refusal.
std::string DescribeRefusedDecoderMemory(std::uint64_t asked);

}  // namespace kzsfx
