// CreateProcessW for programs and batch files, ShellExecuteExW for documents.
#include "stub/win32/setup_launch.h"

#include <windows.h>
#include <shellapi.h>

#include "stub/win32/file_destination.h"
#include "stub/win32/handles.h"
#include "stub/win32/messages.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

SetupRun Failed(const std::wstring& what) {
  return {false, std::nullopt, what + widen(system_message(::GetLastError()))};
}

SetupRun Wait(HANDLE process) {
  AutoHandle owned(process);
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code)) return {true, std::nullopt, {}};
  return {true, code, {}};
}

SetupRun Create(const std::wstring& application, std::wstring commandLine,
                const std::wstring& folder) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.c_str(), &startup, &process)) {
    return Failed(describe_setup_not_started(application));
  }
  ::CloseHandle(process.hThread);
  return Wait(process.hProcess);
}

}  // namespace

std::wstring BatchCommandLine(const std::wstring& interpreter, const std::wstring& batch,
                              const std::wstring& arguments) {
  std::wstring command = Quoted(batch);
  if (!arguments.empty()) command += L" " + arguments;
  return Quoted(interpreter) + L" /d /c " + Quoted(command);
}

SetupRun RunSetup(const SetupCommand& setup, const std::wstring& root) {
  std::wstring program = root;
  if (program.back() != L'\\') program += L'\\';
  for (wchar_t c : widen(setup.program)) program += c == L'/' ? L'\\' : c;
  const std::wstring arguments = widen(setup.arguments);

  switch (setup.kind) {
    case SetupKind::kProgram: {
      std::wstring commandLine = Quoted(program);
      if (!arguments.empty()) commandLine += L" " + arguments;
      return Create(program, std::move(commandLine), root);
    }
    case SetupKind::kBatch: {
      const std::wstring system = SystemFolder();
      if (system.empty()) return Failed(kSystemFolderMissing);
      const std::wstring interpreter = system + L"\\cmd.exe";
      return Create(interpreter, BatchCommandLine(interpreter, program, arguments), root);
    }
    case SetupKind::kDocument:
      break;
  }
  ComApartment com;
  SHELLEXECUTEINFOW execute{};
  execute.cbSize = sizeof execute;
  execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  execute.lpFile = program.c_str();
  execute.lpParameters = arguments.empty() ? nullptr : arguments.c_str();
  execute.lpDirectory = root.c_str();
  execute.nShow = SW_SHOWNORMAL;
  if (!::ShellExecuteExW(&execute)) return Failed(describe_setup_not_opened(program));
  if (execute.hProcess == nullptr) return {true, std::nullopt, {}};
  return Wait(execute.hProcess);
}

}  // namespace kzsfx::win32
