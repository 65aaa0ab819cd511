// A run as the command line and the archive's installer script ask: the script read from the
// zip comment, the destination chosen, the extraction, then Setup and TempMode's clean-up.
#pragma once

#include <string>

#include "stub/win32/command_line.h"
#include "stub/win32/console.h"
#include "stub/win32/session.h"

namespace kzsfx::win32 {

// Reads the installer script from the archive's comment into the session. False, with the
// refusal for the user in `error`, when the comment holds a script this run must not follow.
bool LoadInstallerScript(Session& session, std::wstring& error);

// Extracts, unattended or with the dialog, then runs Setup when the script has one and every
// entry was extracted. Returns the process exit code: Setup's own when it ran and was waited for.
int RunExtraction(const CommandLine& commandLine, Session& session, Console& console);

}  // namespace kzsfx::win32
