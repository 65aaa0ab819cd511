// Following the installer script: where to extract, what to show, what runs afterwards.
#include "stub/win32/installer_run.h"

#include <windows.h>

#include "stub/core/utf8.h"
#include "stub/core/zip_layout.h"
#include "stub/win32/extract_dialog.h"
#include "stub/win32/file_destination.h"
#include "stub/win32/known_folders.h"
#include "stub/win32/messages.h"
#include "stub/win32/run_plan.h"
#include "stub/win32/setup_launch.h"
#include "stub/win32/temp_folder.h"
#include "stub/win32/text.h"
#include "stub/win32/unattended.h"

namespace kzsfx::win32 {

bool LoadInstallerScript(Session& session, std::wstring& error) {
  const std::optional<std::string> raw = ReadZipComment(*session.source, session.archiveOffset);
  if (!raw || !IsInstallerScript(*raw)) return true;
  // Zip tools write the comment in UTF-8 or in the code page of the machine they ran on.
  std::optional<std::string> comment;
  if (utf8::Valid(*raw)) {
    comment = *raw;
  } else if (const std::optional<std::wstring> ansi = WidenAnsi(*raw)) {
    comment = Narrow(*ansi);
  }
  if (!comment) {
    error = kScriptNotText;
    return false;
  }
  ScriptReading reading = ReadInstallerScript(*comment);
  if (reading.error) {
    error = DescribeScriptError(*reading.error);
    return false;
  }
  session.script = std::move(reading.script);
  session.scriptText = Widen(*comment);
  return true;
}

int RunExtraction(const CommandLine& commandLine, Session& session, Console& console) {
  const bool unattended = commandLine.assumeYes || commandLine.testOnly;
  const InstallerScript* script = session.script ? &*session.script : nullptr;
  const std::wstring title =
      script != nullptr && !script->title.empty() ? Widen(script->title) : session.title;
  auto refuse = [&](const std::wstring& text) {
    if (unattended) {
      console.Err(kErrorPrefix + text + L"\r\n");
    } else {
      ShowError(title, text);
    }
    return static_cast<int>(ExitCode::kFatal);
  };

  RunPlan plan;
  plan.destination = commandLine.outputDir;
  TempFolder temp;  // removed, with what Setup left in it, when the run ends
  if (script != nullptr && commandLine.testOnly) {
    console.Out(kScriptHeading + session.scriptText + L"\r\n");
  } else if (script != nullptr) {
    plan.script = script;
    plan.overwrite = script->overwrite;
    plan.silence = unattended ? Silence::kNone : script->silence;
    plan.errorsInBox = plan.silence == Silence::kNothing;
    plan.runsSetup = script->setup && !commandLine.noSetup;
    if (!plan.destination && script->tempMode) {
      if (!temp.Create()) return refuse(kTempFolderFailed);
      plan.destination = DisplayPath(temp.Path());
      plan.askDestination = false;
    } else if (!plan.destination && script->path) {
      const std::wstring folder = ScriptDestination(*script->path, session.exeFolder);
      if (folder.empty() || AbsoluteLongPath(folder).empty())
        return refuse(kScriptPathUnusable + Widen(script->path->rest));
      plan.destination = folder;
    }
  }

  const RunOutcome outcome = unattended || plan.silence == Silence::kNothing
                                 ? RunUnattended(commandLine, plan, session, console)
                                 : RunDialog(commandLine, plan, session);
  const bool failed = outcome.exitCode != static_cast<int>(ExitCode::kOk) &&
                      outcome.exitCode != static_cast<int>(ExitCode::kWarning);
  if (plan.errorsInBox && failed && !outcome.errors.empty()) ShowError(title, outcome.errors);
  if (!plan.runsSetup || !outcome.everyEntryExtracted) return outcome.exitCode;

  // TempMode deletes the tree afterwards: whatever Setup handed over to must be done with it.
  const SetupRun setup =
      RunSetup(*script->setup, outcome.root,
               temp.Path().empty() ? SetupWait::kSetup : SetupWait::kEveryProcess);
  if (!setup.started) return refuse(setup.error);
  return setup.exitCode ? static_cast<int>(*setup.exitCode) : outcome.exitCode;
}

}  // namespace kzsfx::win32
