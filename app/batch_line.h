// The one line of the batch file that joins the stub and the archive, and the names it refuses.
#pragma once

#include "base/text.h"

namespace quillet {

// Whether the path holds a byte no file name has or that would end the line's quoting: "?"
// (which the drop target puts for characters the ANSI code page lacks), "*", the quotation
// mark and control bytes (none of them can be the second byte of a double-byte character), and
// a lead byte without a second byte of at least 0x40.
bool HasUnrepresentableName(TextView path);

// copy /b "<tempFolder>kzsfx.tmp~1"+"<archive>" "<output>", each path quoted and every % in it
// doubled; the absent text when any path holds an unrepresentable name.
Text BatchLine(TextView tempFolder, TextView archive, TextView output);

}  // namespace quillet
