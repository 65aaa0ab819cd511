// Windows paths held as ANSI bytes: the folder and the file name of a full path.
#pragma once

#include "base/text.h"

namespace quillet {

struct PathParts {
  Text folder;    // without a trailing backslash; absent when the path has none
  Text fileName;  // what follows the last backslash, or the whole path
};

// Splits at the last backslash, stepping over double-byte characters whole so that a trail
// byte 0x5C is never taken for one.
PathParts SplitPath(TextView path);

// The folder as SetCurrentDirectory must be given it: "C:" alone would name the drive's
// current folder, not its root, so a bare drive gets its backslash back.
Text EnterableFolder(TextView folder);

}  // namespace quillet
