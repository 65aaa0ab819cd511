// The drop handler: refuse what is not a kz or zip archive, ask before an output is
// replaced, and have the command interpreter join the stub and the archive.
#pragma once

#include "base/text.h"

namespace quillet {

// Handler of the drop target's FileReceived: one path, or several each followed by CR LF.
void OnFileReceived(Text& dropped);
// Writes TempFolder + "kzsfx.tmp~1.bat" with the copy command for the analysed drop and
// starts it hidden, without waiting for it; its end is checked when the process reports it.
// Tells the user, and starts nothing, when the temporary files cannot be written or the
// previous copy is still running after a few seconds.
void BuildSelfExtractor();
// Blocks until the batch started by the last conversion has ended (at once when none runs),
// then checks its result as its end would have.
void WaitForPendingBatch();

}  // namespace quillet
