// Converting an accepted drop: the questions asked, the one-line batch file, its launch and
// what the user is told when the copy does not produce the executable.
#include "app/conversion.h"

#include <windows.h>

#include <memory>
#include <optional>

#include "app/globals.h"
#include "app/path_analysis.h"
#include "app/stub_payload.h"
#include "base/files.h"
#include "base/win32_handles.h"
#include "ui/message_box.h"
#include "ui/process.h"
#include "ui/process_watch.h"

namespace quillet {
namespace {

constexpr const char* kWrongExtension = "请拖入扩展名为 kz 或 zip 的文件";
constexpr const char* kOverwrite = "发现同名exe文件，确定覆盖？";
constexpr const char* kUnrepresentable = "文件名含有当前代码页无法表示的字符，请改名后再拖入";
constexpr const char* kTempUnwritable = "无法写入临时文件夹中的文件，exe文件未生成";
constexpr const char* kCopyFailed = "生成exe文件失败，请检查目标文件夹是否可写";
constexpr const char* kStillBusy = "上一个文件仍在转换，请稍后再拖入";
constexpr std::int32_t kSystemFolder = 10;
// How long a new drop waits for the previous copy before it gives up.
constexpr DWORD kBusyWaitMs = 3000;

// The command interpreter started by the last conversion and what it should produce. Until it
// has read the batch file and finished its copy, the file must not be rewritten under it.
struct RunningBatch {
  AutoHandle process;
  Text output;
  Text archive;
  std::unique_ptr<ProcessWatch> watch;
};
std::unique_ptr<RunningBatch> running;

// The drop target turns characters the ANSI code page lacks into "?". "*", the quotation mark
// and control characters cannot be in a real file name either, and a quotation mark or line
// break would end the batch line's quoting. None of these bytes can be the second byte of a
// GBK character.
bool HasUnrepresentableName(TextView path) {
  for (const char byte : path.view()) {
    if (static_cast<unsigned char>(byte) < 0x20 || byte == '?' || byte == '*' || byte == '"') {
      return true;
    }
  }
  return false;
}

// Inside double quotes a batch line still expands %...%, so every % is doubled; & ^ and
// spaces are literal there, and a Windows file name cannot contain the quote itself.
Text EscapePercents(TextView path) { return ReplaceText(path, "%", "%%", 1, std::nullopt, true); }

Text BatchPath() { return ConcatText({TempFolder, "kzsfx.tmp~1.bat"}); }
Text StubPath() { return ConcatText({TempFolder, "kzsfx.tmp~1"}); }

// The system's own interpreter, never one found in the current folder. /d skips a user's
// AutoRun command and /v:off a user's DelayedExpansion, which would eat every "!" of a name;
// /s keeps the outer quotes around the batch path from being read as part of it.
Text InterpreterCommand() {
  return ConcatText({"\"", GetSpecialFolder(kSystemFolder), "cmd.exe\" /d /v:off /s /c \"\"",
                     BatchPath(), "\"\""});
}

// The last copy has ended: tell the user when it failed or produced anything but the stub
// followed by the archive.
void CheckFinishedBatch() {
  if (!running) return;
  const std::unique_ptr<RunningBatch> batch = std::move(running);
  DWORD exitCode = 1;
  ::GetExitCodeProcess(batch->process.Get(), &exitCode);
  if (exitCode != 0 || !FileHoldsBytes(batch->output, StubPayload(), batch->archive)) {
    ShowMessageBox(kCopyFailed, 0);
  }
}

// Gives the previous copy a few seconds to end, painting and answering the window meanwhile;
// false when it is still running.
bool PreviousBatchEnded() {
  const DWORD start = ::GetTickCount();
  while (running) {
    const DWORD waited = ::GetTickCount() - start;
    if (waited >= kBusyWaitMs) return false;
    const HANDLE process = running->process.Get();
    const DWORD woken =
        ::MsgWaitForMultipleObjects(1, &process, FALSE, kBusyWaitMs - waited, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) {
      CheckFinishedBatch();
    } else if (woken == WAIT_OBJECT_0 + 1) {
      MSG message;
      while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
          ::PostQuitMessage(static_cast<int>(message.wParam));  // for the real loop
          return false;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
      }
    } else if (woken != WAIT_TIMEOUT) {
      return false;
    }
  }
  return true;
}

}  // namespace

void WaitForPendingBatch() {
  if (!running) return;
  ::WaitForSingleObject(running->process.Get(), INFINITE);
  CheckFinishedBatch();
}

void BuildSelfExtractor() {
  {
    const Text stub = EscapePercents(TempFolder);
    const Text archive = EscapePercents(DroppedPath);
    const Text folder = EscapePercents(FolderPart);
    const Text base = EscapePercents(BaseName);
    const Text command = ConcatText(
        {"copy /b \"", stub, "kzsfx.tmp~1\"+\"", archive, "\" \"", folder, base, ".exe\""});
    BatchBytes = TextToBytes(command);
  }
  // Waiting also checks a copy that has ended, so its failure is told before anything new.
  // A drop that arrives while an earlier one waits is turned away, not nested.
  static bool waiting = false;
  if (waiting) {
    ShowMessageBox(kStillBusy, 0);
    return;
  }
  waiting = true;
  const bool ended = PreviousBatchEnded();
  waiting = false;
  if (!ended) {
    ShowMessageBox(kStillBusy, 0);
    return;
  }
  // The temporary folder is shared: the stub may have been changed since start-up, and a
  // link planted under the batch file's name must not carry the write elsewhere. An older
  // batch file is never run in place of one that could not be written.
  const Text stub = StubPath();
  if ((!FileHoldsBytes(stub, StubPayload()) && !WriteNewFileBytes(stub, {StubPayload()})) ||
      !WriteNewFileBytes(BatchPath(), {BatchBytes})) {
    ShowMessageBox(kTempUnwritable, 0);
    return;
  }
  // The interpreter inherits our environment: a user's COPYCMD=/-Y would make the hidden copy
  // ask before replacing the output, with nobody to answer, and every later drop wait on it.
  ::SetEnvironmentVariableA("COPYCMD", nullptr);
  // Hidden, and not waited for: the copy goes on in the interpreter's own process, and its
  // end is checked when the watch reports it.
  auto batch = std::make_unique<RunningBatch>();
  batch->process = StartCommand(InterpreterCommand(), 1);
  if (!batch->process) {
    ShowMessageBox(kCopyFailed, 0);
    return;
  }
  batch->output = ConcatText({FolderPart, BaseName, ".exe"});
  batch->archive = DroppedPath;
  batch->watch = std::make_unique<ProcessWatch>(batch->process.Get(), &CheckFinishedBatch);
  running = std::move(batch);
}

void OnFileReceived(Text& dropped) {
  if (!AnalyseDroppedPath(dropped)) {
    ShowMessageBox(kWrongExtension, 0);
    return;
  }
  if (HasUnrepresentableName(DroppedPath)) {
    ShowMessageBox(kUnrepresentable, 0);
    return;
  }
  const bool exists = FileExists(ConcatText({FolderPart, BaseName, ".exe"}));
  // Only OK is consent: a box that could not be shown is not.
  if (exists && ShowMessageBox(kOverwrite, 1) != 0) return;
  BuildSelfExtractor();
}

}  // namespace quillet
