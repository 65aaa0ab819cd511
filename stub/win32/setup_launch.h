// Starting an installer script's Setup in the extracted tree and waiting for it to end.
#pragma once

#include <optional>
#include <string>

#include "stub/core/installer_script.h"

namespace kzsfx::win32 {

struct SetupRun {
  bool started = false;
  // The program's own exit code; nothing when the shell opened a document in a program it
  // did not hand us (one already running, for instance), which leaves nothing to wait for.
  std::optional<unsigned long> exitCode;
  std::wstring error;  // why it did not start, for the user
};

// What a run waits for: Setup alone, or Setup and every process it starts (a program or batch
// file; a document's program is not ours to follow), before its folder may go.
enum class SetupWait { kSetup, kEveryProcess };

// Starts `setup` inside `root` (a folder as people write it, without "\\?\"), with `root` as
// its working folder, and waits for it. The exit code is always Setup's own.
SetupRun RunSetup(const SetupCommand& setup, const std::wstring& root,
                  SetupWait wait = SetupWait::kSetup);

// The command line that runs a batch file through the command interpreter: /d so that no
// AutoRun command of the registry runs first, and /c with the whole command in one more pair
// of quotation marks, which the interpreter takes off before running the quoted batch path.
std::wstring BatchCommandLine(const std::wstring& interpreter, const std::wstring& batch,
                              const std::wstring& arguments);

}  // namespace kzsfx::win32
