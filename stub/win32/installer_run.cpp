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
  const std::optional<std::string> raw = ReadZipComment(*session.source, session.archive_offset);
  if (!raw || !IsInstallerScript(*raw)) return true;
  // Zip tools write the comment in UTF-8 or in the code page of the machine they ran on.
  std::optional<std::string> comment;
  if (utf8::valid(*raw)) {
    comment = *raw;
  } else if (const std::optional<std::wstring> ansi = widen_ansi(*raw)) {
    comment = narrow(*ansi);
  }
  if (!comment) {
    error = kScriptNotText;
    return false;
  }
  ScriptReading reading = ReadInstallerScript(*comment);
  if (reading.error) {
    error = describe_script_error(*reading.error);
    return false;
  }
  session.script = std::move(reading.script);
  session.script_text = widen(*comment);
  return true;
}

int RunExtraction(const CommandLine& commandLine, Session& session, Console& console) {
  const bool unattended = commandLine.assume_yes || commandLine.test_only;
  const InstallerScript* script = session.script ? &*session.script : nullptr;
  const std::wstring title =
      script != nullptr && !script->title.empty() ? widen(script->title) : session.title;
  auto refuse = [&](const std::wstring& text) {
    if (unattended) {
      console.err(kErrorPrefix + text + L"\r\n");
    } else {
      show_error(title, text);
    }
    return static_cast<int>(ExitCode::fatal);
  };

  RunPlan plan;
  plan.destination = commandLine.output_dir;
  TempFolder temp;  // removed, with what Setup left in it, when the run ends
  if (script != nullptr && commandLine.test_only) {
    console.out(kScriptHeading + session.script_text + L"\r\n");
  } else if (script != nullptr) {
    plan.script = script;
    plan.overwrite = script->overwrite;
    plan.silence = unattended ? Silence::kNone : script->silence;
    plan.errorsInBox = plan.silence == Silence::kNothing;
    plan.runsSetup = script->setup && !commandLine.no_setup;
    if (!plan.destination && script->tempMode) {
      if (!temp.Create()) return refuse(kTempFolderFailed);
      plan.destination = display_path(temp.path());
      plan.askDestination = false;
    } else if (!plan.destination && script->path) {
      const std::wstring folder = ScriptDestination(*script->path, session.exe_folder);
      if (folder.empty() || absolute_long_path(folder).empty())
        return refuse(kScriptPathUnusable + widen(script->path->rest));
      plan.destination = folder;
    }
  }

  const RunOutcome outcome = unattended || plan.silence == Silence::kNothing
                                 ? run_unattended(commandLine, plan, session, console)
                                 : run_dialog(commandLine, plan, session);
  const bool failed = outcome.exitCode != static_cast<int>(ExitCode::ok) &&
                      outcome.exitCode != static_cast<int>(ExitCode::warning);
  if (plan.errorsInBox && failed && !outcome.errors.empty()) show_error(title, outcome.errors);
  if (!plan.runsSetup || !outcome.everyEntryExtracted) return outcome.exitCode;

  // TempMode deletes the tree afterwards: whatever Setup handed over to must be done with it.
  const SetupRun setup =
      RunSetup(*script->setup, outcome.root,
               temp.path().empty() ? SetupWait::kSetup : SetupWait::kEveryProcess);
  if (!setup.started) return refuse(setup.error);
  return setup.exitCode ? static_cast<int>(*setup.exitCode) : outcome.exitCode;
}

}  // namespace kzsfx::win32
