// File primitives: write byte buffers, test for an entry, find a special folder.
// Failures come back as false or the absent text; nothing is shown.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "base/text.h"
#include "base/win32_handles.h"

namespace quillet {

bool WriteFileBytes(TextView path, std::initializer_list<ByteView> buffers);
// Like WriteFileBytes, but into a file created anew: whatever had the name is removed first
// (a link itself, never what it points to), and the write fails rather than open an entry
// that appears in between.
bool WriteNewFileBytes(TextView path, std::initializer_list<ByteView> buffers);
// Whether the file holds exactly `head` followed by every byte of the file at `tailPath`
// (nothing more when `tailPath` is empty). Reads in pieces, whatever the sizes.
bool FileHoldsBytes(TextView path, ByteView head, TextView tailPath = {});
// Opens an existing file to read and holds it: while the handle is open others may read it, but
// neither write, delete nor rename it. A link under the name is held itself, not what it points
// to, and reads as no bytes. Empty when the file cannot be held.
AutoFile HoldFile(TextView path);
// Whether the held file holds exactly `bytes`, read from its start.
bool HeldFileHolds(const AutoFile& file, ByteView bytes);
bool FileExists(TextView path);
// Codes 1-8 shell folders, 9 Windows, 10 system, 11 temporary; always one trailing backslash.
Text GetSpecialFolder(std::int32_t code);

}  // namespace quillet
