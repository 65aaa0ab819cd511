// Converting an accepted drop: the questions asked, the one-line batch file, its launch and
// what the user is told when the copy does not produce the executable.
#include "app/conversion.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <utility>

#include "app/batch_line.h"
#include "app/globals.h"
#include "app/path_analysis.h"
#include "app/stub_payload.h"
#include "base/code_page.h"
#include "base/files.h"
#include "base/user_texts.h"
#include "base/win32_handles.h"
#include "ui/message_box.h"
#include "ui/process.h"
#include "ui/process_watch.h"

namespace quillet {
namespace {

constexpr std::int32_t kSystemFolder = 10;
// How long a new drop waits for the previous copy before it gives up.
constexpr DWORD kBusyWaitMs = 3000;

// A conversion is busy from the moment its drop arrives until its handler returns, boxes and
// the wait for the previous copy included; a drop arriving meanwhile is turned away untouched.
bool busy = false;

class BusyScope {
 public:
  BusyScope() : previous_(std::exchange(busy, true)) {}
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  ~BusyScope() { busy = previous_; }

 private:
  bool previous_;
};

// What the check of one copy reads and finds. Shared with the worker, which may outlive the
// conversion when the program ends while it reads.
struct OutputCheck {
  Text output;
  Text archive;
  DWORD exitCode = 1;
  bool passed = false;  // written by the worker before it ends
};

// A started copy and everything that belongs to it: its own paths, the two temporary files
// held so that nobody changes them under the interpreter, and then the check of its output,
// which reads whole files and so runs on a worker thread.
struct RunningBatch {
  std::shared_ptr<OutputCheck> check = std::make_shared<OutputCheck>();
  AutoFile stubHold;
  AutoFile batchHold;
  AutoHandle process;
  AutoHandle checker;  // the worker, once the copy has ended
  std::unique_ptr<ProcessWatch> watch;
};
std::unique_ptr<RunningBatch> running;

Text BatchPathIn(TextView tempFolder) { return ConcatText({tempFolder, "kzsfx.tmp~1.bat"}); }
Text StubPathIn(TextView tempFolder) { return ConcatText({tempFolder, "kzsfx.tmp~1"}); }

// The system's own interpreter, never one found in the current folder. /d skips a user's
// AutoRun command and /v:off a user's DelayedExpansion, which would eat every "!" of a name;
// /s keeps the outer quotes around the batch path from being read as part of it.
Text InterpreterCommand(TextView batchPath) {
  return ConcatText(
      {"\"", GetSpecialFolder(kSystemFolder), "cmd.exe\" /d /v:off /s /c \"\"", batchPath, "\"\""});
}

// The batch line as the interpreter reads it, in the OEM code page; nothing when a name cannot
// be written there exactly.
std::optional<ByteBuffer> BatchBytesFor(TextView tempFolder, TextView archive, TextView output) {
  const Text line = BatchLine(tempFolder, archive, output);
  if (line.empty()) return std::nullopt;
  return AnsiToOem(line);
}

void CheckEnded(RunningBatch* batch);

// Compares the output with the stub followed by the archive, and removes an output that fails,
// so that nobody runs a truncated executable.
void CheckOutput(OutputCheck& check) {
  check.passed = check.exitCode == 0 && FileHoldsBytes(check.output, StubPayload(), check.archive);
  if (!check.passed) ::DeleteFileA(check.output.c_str());
}

// The worker; it owns the share of the check it is handed.
DWORD WINAPI CheckOutputWorker(void* parameter) {
  const std::unique_ptr<std::shared_ptr<OutputCheck>> check(
      static_cast<std::shared_ptr<OutputCheck>*>(parameter));
  CheckOutput(**check);
  return 0;
}

// The interpreter has ended: the temporary files are let go and the check starts.
void CopyEnded(RunningBatch* batch) {
  if (running.get() != batch || batch->checker) return;
  ::GetExitCodeProcess(batch->process.Get(), &batch->check->exitCode);
  batch->stubHold.Reset();
  batch->batchHold.Reset();
  auto share = std::make_unique<std::shared_ptr<OutputCheck>>(batch->check);
  batch->checker =
      AutoHandle(::CreateThread(nullptr, 0, &CheckOutputWorker, share.get(), 0, nullptr));
  if (!batch->checker) {
    CheckOutput(*batch->check);  // no worker to be had: checked here rather than not at all
    CheckEnded(batch);
    return;
  }
  share.release();  // the worker's now
  batch->watch =
      std::make_unique<ProcessWatch>(batch->checker.Get(), [batch] { CheckEnded(batch); });
}

// The check has ended: the conversion is over, and the user is told when it failed.
void CheckEnded(RunningBatch* batch) {
  if (running.get() != batch) return;
  const std::unique_ptr<RunningBatch> ended = std::move(running);
  if (ended->checker) ::WaitForSingleObject(ended->checker.Get(), INFINITE);
  if (!ended->check->passed) ShowMessageBox(kCopyFailed, 0);
}

// What the running conversion waits for now: its interpreter, then its check.
HANDLE PendingHandle() {
  return running->checker ? running->checker.Get() : running->process.Get();
}

// Moves the running conversion on once the handle it waited for is signalled.
void Advance() {
  if (running->checker) {
    CheckEnded(running.get());
  } else {
    CopyEnded(running.get());
  }
}

// Gives the previous conversion a few seconds to end, painting and answering the window
// meanwhile; false when it is still running.
bool PreviousBatchEnded() {
  const DWORD start = ::GetTickCount();
  while (running) {
    const DWORD waited = ::GetTickCount() - start;
    if (waited >= kBusyWaitMs) return false;
    const HANDLE pending = PendingHandle();
    const DWORD woken =
        ::MsgWaitForMultipleObjects(1, &pending, FALSE, kBusyWaitMs - waited, QS_ALLINPUT);
    if (woken == WAIT_OBJECT_0) {
      Advance();
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

// The stub file, checked through the handle that then holds it; written anew first when it is
// not the stub. The temporary folder is shared: it may have changed since start-up, and a link
// planted under its name must not carry the write elsewhere.
AutoFile HoldStub(TextView path) {
  AutoFile held = HoldFile(path);
  if (HeldFileHolds(held, StubPayload())) return held;
  held.Reset();
  if (!WriteNewFileBytes(path, {StubPayload()})) return AutoFile();
  held = HoldFile(path);
  return HeldFileHolds(held, StubPayload()) ? std::move(held) : AutoFile();
}

// The batch file made anew and held, checked through the handle that holds it. An older batch
// file is never run in place of one that could not be written.
AutoFile HoldBatch(TextView path, ByteView line) {
  if (!WriteNewFileBytes(path, {line})) return AutoFile();
  AutoFile held = HoldFile(path);
  return HeldFileHolds(held, line) ? std::move(held) : AutoFile();
}

}  // namespace

void WaitForPendingBatch() {
  while (running) {
    ::WaitForSingleObject(PendingHandle(), INFINITE);
    Advance();
  }
}

void BuildSelfExtractor() {
  const BusyScope busyScope;
  // The conversion's own copies, taken before anything can wait: nothing a later drop
  // changes reaches this one.
  const Text tempFolder = TempFolder;
  const Text archive = DroppedPath;
  const Text output = ConcatText({FolderPart, BaseName, ".exe"});
  std::optional<ByteBuffer> line = BatchBytesFor(tempFolder, archive, output);
  if (!line) {
    ShowMessageBox(kUnrepresentable, 0);
    return;
  }
  BatchBytes = *line;
  // Waiting also checks a copy that has ended, so its failure is told before anything new.
  if (!PreviousBatchEnded()) {
    ShowMessageBox(kStillBusy, 0);
    return;
  }
  auto batch = std::make_unique<RunningBatch>();
  const Text batchPath = BatchPathIn(tempFolder);
  batch->stubHold = HoldStub(StubPathIn(tempFolder));
  if (batch->stubHold) batch->batchHold = HoldBatch(batchPath, *line);
  if (!batch->stubHold || !batch->batchHold) {
    ShowMessageBox(kTempUnwritable, 0);
    return;
  }
  // The interpreter inherits our environment: a user's COPYCMD=/-Y would make the hidden copy
  // ask before replacing the output, with nobody to answer, and every later drop wait on it.
  ::SetEnvironmentVariableA("COPYCMD", nullptr);
  // Hidden, and not waited for: the copy goes on in the interpreter's own process, and its
  // end is checked when the watch reports it.
  batch->process = StartCommand(InterpreterCommand(batchPath), 1);
  if (!batch->process) {
    ShowMessageBox(kCopyFailed, 0);
    return;
  }
  batch->check->output = output;
  batch->check->archive = archive;
  RunningBatch* const started = batch.get();
  batch->watch =
      std::make_unique<ProcessWatch>(batch->process.Get(), [started] { CopyEnded(started); });
  running = std::move(batch);
}

void OnFileReceived(Text& dropped) {
  if (busy) {
    ShowMessageBox(kStillBusy, 0);
    return;
  }
  const BusyScope busyScope;
  if (!AnalyseDroppedPath(dropped)) {
    ShowMessageBox(kWrongExtension, 0);
    return;
  }
  const Text output = ConcatText({FolderPart, BaseName, ".exe"});
  if (!BatchBytesFor(TempFolder, DroppedPath, output)) {
    ShowMessageBox(kUnrepresentable, 0);
    return;
  }
  const bool exists = FileExists(output);
  // Only OK is consent: a box that could not be shown is not.
  if (exists && ShowMessageBox(kOverwrite, 1) != 0) return;
  BuildSelfExtractor();
}

}  // namespace quillet
