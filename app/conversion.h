// The drop handler: refuse what is not a kz or zip archive, ask before an output is
// replaced, and have the command interpreter join the stub and the archive.
#pragma once

#include "base/text.h"

namespace quillet {

// Handler of the drop target's FileReceived: one path, or several each followed by CR LF.
// A drop that arrives while another is being handled is turned away before it changes anything.
void OnFileReceived(Text& dropped);
// Writes TempFolder + "kzsfx.tmp~1.bat" with the copy command for the analysed drop and
// starts it hidden, without waiting for it. The stub and batch files stay held, unchangeable,
// until the interpreter ends; then a worker checks the output and the user is told of a failure.
// Tells the user, and starts nothing, when a name cannot be written in the batch line, the
// temporary files cannot be written and held, or the previous conversion is still running
// after a few seconds.
void BuildSelfExtractor();
// Blocks until the conversion started last has ended and been checked (at once when none
// runs), telling the user of a failure as its end would have.
void WaitForPendingBatch();

}  // namespace quillet
