// What both ways of running share: our exe opened, the archive found, the base options.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "stub/core/installer_script.h"
#include "stub/core/options.h"
#include "stub/core/results.h"
#include "stub/win32/command_line.h"
#include "stub/win32/file_source.h"
#include "stub/win32/threads.h"

namespace kzsfx::win32 {

struct Session {
  std::wstring exePath;
  std::wstring exeFolder;  // without a trailing separator (except a drive root)
  std::wstring exeName;    // "setup.exe"
  std::wstring exeStem;    // "setup"
  std::wstring title;      // the stem escaped as ShownEscaped does: the dialog's title
  // The default subfolder: the stem when it passes the check every entry name passes, else
  // kUnnamedFolder.
  std::wstring folderName;
  std::unique_ptr<FileSource> source;
  std::uint64_t archiveOffset = 0;
  std::optional<InstallerScript> script;  // from the zip's comment (installer_run.h)
  std::wstring scriptText;                // that comment as found, for -t
  std::unique_ptr<ThreadWorkers> workers =
      std::make_unique<ThreadWorkers>();  // the extraction's threads
};

// Opens our exe and finds where the archive begins; on failure fills `error` for the user.
std::unique_ptr<Session> OpenSession(std::wstring& error);

// Name charset from the ANSI code page, the exe's download mark as read, one thread per processor.
Options BaseOptions(const Session& session);

// The password in the forms worth trying: UTF-8, then the ANSI code page when it differs.
PasswordForms password_forms(const std::wstring& password);

// Where both run modes start: the base options with the command line's password.
Options RunOptions(const Session& session, const CommandLine& commandLine);

// A listing that failed ends the run, whichever the mode: what to tell the user, and the
// process exit code.
struct ListingFailure {
  std::wstring text;
  int exitCode;
};
std::optional<ListingFailure> listing_failure(const Listing& listing);

// Where files go unless the user says otherwise: beside the exe when the archive holds one
// top-level item (that is not our own exe's name), else a subfolder named after the exe.
std::wstring DefaultDestination(const Session& session, const Listing& listing);

// A path for people: without the "\\?\" prefix.
std::wstring DisplayPath(const std::wstring& path);

}  // namespace kzsfx::win32
