// kzsfx entry point: harden DLL loading, read the command line, run unattended or with the dialog.
#include <windows.h>

#include "stub/core/results.h"
#include "stub/win32/command_line.h"
#include "stub/win32/console.h"
#include "stub/win32/extract_dialog.h"
#include "stub/win32/file_source.h"
#include "stub/win32/installer_run.h"
#include "stub/win32/messages.h"
#include "stub/win32/runtime_stops.h"
#include "stub/win32/session.h"

namespace {

using kzsfx::ExitCode;
using namespace kzsfx::win32;

// Downloaded self-extractors sit in the Downloads folder beside whatever else came down; a
// DLL planted there must never be loaded in place of a system one. Looked up at run time:
// the call exists from Windows 8 (and Windows 7 with KB2533623) on.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Older systems: at least take the current folder out of the search.
  ::SetDllDirectoryW(L"");
}

std::wstring Usage() {
  const std::wstring path = OwnExePath();
  return DescribeUsage(path.substr(path.find_last_of(L"\\/") + 1));
}

// A script is driving us when it passed -y: then nothing may wait for a click.
bool AskedForSilence(std::wstring_view commandLine) {
  std::vector<std::wstring> arguments = SplitCommandLine(commandLine);
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == L"-y" || arguments[i] == L"-Y" || arguments[i] == L"-t" ||
        arguments[i] == L"-T") {
      return true;
    }
  }
  return false;
}

int Run(const wchar_t* rawCommandLine) {
  Console console;
  const ParsedCommandLine parsed = ParseCommandLine(rawCommandLine);
  if (!parsed.value) {
    console.Err(parsed.error + L"\r\n" + Usage());
    if (!AskedForSilence(rawCommandLine) && !console.Present()) {
      ShowError(kProgramTitle, parsed.error + L"\r\n\r\n" + Usage());
    }
    return static_cast<int>(ExitCode::kBadCommandLine);
  }
  const CommandLine& commandLine = *parsed.value;
  if (commandLine.showHelp) {
    console.Out(Usage());
    if (!console.Present())
      ::MessageBoxW(nullptr, Usage().c_str(), kProgramTitle, MB_OK | MB_ICONINFORMATION);
    return static_cast<int>(ExitCode::kOk);
  }

  const bool unattended = commandLine.assumeYes || commandLine.testOnly;
  ReportStopsInMessageBox(!unattended);
  std::wstring error;
  std::unique_ptr<Session> session = OpenSession(error);
  // A script that refuses the run does so before anything is written.
  if (session && !LoadInstallerScript(*session, error)) session.reset();
  if (!session) {
    if (unattended) {
      console.Err(kErrorPrefix + error + L"\r\n");
    } else {
      ShowError(kProgramTitle, error);
    }
    return static_cast<int>(ExitCode::kFatal);
  }
  return RunExtraction(commandLine, *session, console);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  RestrictDllSearch();
  // The full command line: the runtime's copy drops the program name, which the split needs.
  // Running out of memory ends the process in runtime_stops.cpp with exit code 8.
  return Run(::GetCommandLineW());
}
