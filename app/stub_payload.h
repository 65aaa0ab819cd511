// The self-extractor stub (kzsfx.exe) that heads every produced executable, carried as
// constant bytes in the program's read-only data; nothing follows its image.
#pragma once

#include <cstdint>

#include "base/text.h"

// Bounds of the embedded image, defined by the generated stub_payload.S.
extern "C" const std::uint8_t quillet_stub_payload_begin[];
extern "C" const std::uint8_t quillet_stub_payload_end[];

namespace quillet {

inline ByteView StubPayload() { return {quillet_stub_payload_begin, quillet_stub_payload_end}; }

}  // namespace quillet
