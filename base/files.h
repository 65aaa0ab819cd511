// File primitives: write byte buffers, test for an entry, find a special folder.
// Failures come back as false or the absent text; nothing is shown.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/text.h"

namespace quillet {

bool WriteFileBytes(TextView path, std::initializer_list<ByteView> buffers);
bool FileExists(TextView path);
// Codes 1-8 shell folders, 9 Windows, 10 system, 11 temporary; always one trailing backslash.
Text GetSpecialFolder(std::int32_t code);

}  // namespace quillet
