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
void restrict_dll_search() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  const auto set_default = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  // Older systems: at least take the current folder out of the search.
  ::SetDllDirectoryW(L"");
}

std::wstring usage() {
  const std::wstring path = own_exe_path();
  return describe_usage(path.substr(path.find_last_of(L"\\/") + 1));
}

// A script is driving us when it passed -y: then nothing may wait for a click.
bool asked_for_silence(std::wstring_view command_line) {
  std::vector<std::wstring> arguments = split_command_line(command_line);
  for (size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == L"-y" || arguments[i] == L"-Y" || arguments[i] == L"-t" ||
        arguments[i] == L"-T") {
      return true;
    }
  }
  return false;
}

int run(const wchar_t* raw_command_line) {
  Console console;
  const ParsedCommandLine parsed = parse_command_line(raw_command_line);
  if (!parsed.value) {
    console.err(parsed.error + L"\r\n" + usage());
    if (!asked_for_silence(raw_command_line) && !console.present()) {
      show_error(kProgramTitle, parsed.error + L"\r\n\r\n" + usage());
    }
    return static_cast<int>(ExitCode::bad_command_line);
  }
  const CommandLine& command_line = *parsed.value;
  if (command_line.show_help) {
    console.out(usage());
    if (!console.present())
      ::MessageBoxW(nullptr, usage().c_str(), kProgramTitle, MB_OK | MB_ICONINFORMATION);
    return static_cast<int>(ExitCode::ok);
  }

  const bool unattended = command_line.assume_yes || command_line.test_only;
  report_stops_in_message_box(!unattended);
  std::wstring error;
  std::unique_ptr<Session> session = open_session(error);
  // A script that refuses the run does so before anything is written.
  if (session && !LoadInstallerScript(*session, error)) session.reset();
  if (!session) {
    if (unattended) {
      console.err(kErrorPrefix + error + L"\r\n");
    } else {
      show_error(kProgramTitle, error);
    }
    return static_cast<int>(ExitCode::fatal);
  }
  return RunExtraction(command_line, *session, console);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, wchar_t*, int) {
  restrict_dll_search();
  // The full command line: the runtime's copy drops the program name, which the split needs.
  // Running out of memory ends the process in runtime_stops.cpp with exit code 8.
  return run(::GetCommandLineW());
}
