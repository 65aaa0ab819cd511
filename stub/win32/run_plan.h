// What one run does with the archive besides extracting it, decided from the command line and
// the installer script, and what it reports back for Setup.
#pragma once

#include <optional>
#include <string>

#include "stub/core/installer_script.h"
#include "stub/core/options.h"

namespace kzsfx::win32 {

struct RunPlan {
  std::optional<std::wstring> destination;   // nothing: the default beside the exe
  bool askDestination = true;                // TempMode: the folder is ours, not the user's
  std::optional<OverwritePolicy> overwrite;  // nothing: ask in the dialog, replace unattended
  Silence silence = Silence::kNone;
  bool errorsInBox = false;  // Silent=2: runs unattended, but shows an error
  const InstallerScript* script = nullptr;
  bool runsSetup = false;  // the start page says what will run
};

struct RunOutcome {
  int exitCode = 0;
  bool everyEntryExtracted = false;  // Setup may run
  std::wstring root;                 // where the files went, as people write it
  std::wstring errors;               // what an unattended run wrote as errors, for a box
};

}  // namespace kzsfx::win32
