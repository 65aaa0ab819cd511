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
  return {false, std::nullopt, what + Widen(SystemMessage(::GetLastError()))};
}

SetupRun Wait(HANDLE process) {
  ::WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  if (!::GetExitCodeProcess(process, &code)) return {true, std::nullopt, {}};
  return {true, code, {}};
}

// A job that holds Setup and every process it starts, with a completion port that says when
// the last of them has ended. An installer often hands over to a process of its own and exits
// at once; the files that process reads must stay until it is done too.
class ProcessFamily {
 public:
  ProcessFamily()
      : job_(::CreateJobObjectW(nullptr, nullptr)),
        port_(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1)) {
    if (!job_ || !port_) return;
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT link{job_.Get(), port_.Get()};
    if (!::SetInformationJobObject(job_.Get(), JobObjectAssociateCompletionPortInformation, &link,
                                   sizeof link)) {
      job_.Reset();
    }
  }

  // Where the platform refuses (no jobs, or a job of ours that forbids nesting), only Setup
  // itself is waited for.
  void Adopt(HANDLE process) { adopted_ = job_ && ::AssignProcessToJobObject(job_.Get(), process); }

  void WaitForTheLast() const {
    if (!adopted_) return;
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED detail = nullptr;
    while (::GetQueuedCompletionStatus(port_.Get(), &message, &key, &detail, INFINITE)) {
      if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) return;
    }
  }

 private:
  AutoHandle job_;
  AutoHandle port_;
  bool adopted_ = false;
};

SetupRun Create(const std::wstring& application, std::wstring commandLine,
                const std::wstring& folder, SetupWait wait) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  // Suspended until it is in the job, so that nothing it starts escapes the wait.
  const DWORD flags = wait == SetupWait::kEveryProcess ? CREATE_SUSPENDED : 0;
  if (!::CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, flags,
                        nullptr, folder.c_str(), &startup, &created)) {
    return Failed(DescribeSetupNotStarted(application));
  }
  const AutoHandle process(created.hProcess);
  const AutoHandle thread(created.hThread);
  ProcessFamily family;
  if (wait == SetupWait::kEveryProcess) {
    family.Adopt(process.Get());
    ::ResumeThread(thread.Get());
  }
  const SetupRun run = Wait(process.Get());
  family.WaitForTheLast();
  return run;
}

}  // namespace

std::wstring BatchCommandLine(const std::wstring& interpreter, const std::wstring& batch,
                              const std::wstring& arguments) {
  std::wstring command = Quoted(batch);
  if (!arguments.empty()) command += L" " + arguments;
  return Quoted(interpreter) + L" /d /c " + Quoted(command);
}

SetupRun RunSetup(const SetupCommand& setup, const std::wstring& root, SetupWait wait) {
  std::wstring program = root;
  if (program.back() != L'\\') program += L'\\';
  for (wchar_t c : Widen(setup.program)) program += c == L'/' ? L'\\' : c;
  const std::wstring arguments = Widen(setup.arguments);

  switch (setup.kind) {
    case SetupKind::kProgram: {
      std::wstring commandLine = Quoted(program);
      if (!arguments.empty()) commandLine += L" " + arguments;
      return Create(program, std::move(commandLine), root, wait);
    }
    case SetupKind::kBatch: {
      const std::wstring system = SystemFolder();
      if (system.empty()) return Failed(kSystemFolderMissing);
      const std::wstring interpreter = system + L"\\cmd.exe";
      return Create(interpreter, BatchCommandLine(interpreter, program, arguments), root, wait);
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
  if (!::ShellExecuteExW(&execute)) return Failed(DescribeSetupNotOpened(program));
  if (execute.hProcess == nullptr) return {true, std::nullopt, {}};
  const AutoHandle process(execute.hProcess);
  return Wait(process.Get());
}

}  // namespace kzsfx::win32
