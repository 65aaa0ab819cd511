// The converter's state: the temporary folder, the pieces of the last drop and the last
// batch command. Written only by the converter's own handlers.
#pragma once

#include <cstdint>

#include "base/text.h"

namespace quillet {

extern Text TempFolder;
extern Text DroppedPath;
extern std::int32_t SlashPos;
extern Text FileName;
extern std::int32_t DotPos;
extern Text Extension;
extern Text FolderPart;
extern Text BaseName;
extern ByteBuffer BatchBytes;

// The exit routine: releases the texts and the buffer; the integers keep their values.
void ReleaseGlobals();

}  // namespace quillet
