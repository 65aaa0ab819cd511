// The unattended run: no dialog, overwrite everything, report on stdout and stderr.
#include "stub/win32/unattended.h"

#include <windows.h>

#include <atomic>

#include "stub/core/extraction.h"
#include "stub/core/installer_script.h"
#include "stub/core/listing.h"
#include "stub/win32/file_destination.h"
#include "stub/win32/messages.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

// Ctrl+C or Ctrl+Break in the console we write to: stop like the dialog's Cancel, so the
// file in hand is discarded and the exit code says 255, rather than dying mid-write.
std::atomic<bool> interrupted{false};

BOOL WINAPI OnConsoleInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  interrupted.store(true);
  return TRUE;
}

std::wstring Hex8(std::uint32_t value) {
  std::wstring text(8, L'0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[i] = L"0123456789ABCDEF"[value & 15];
  return text;
}

std::wstring PadLeft(std::wstring text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), L' ');
  return text;
}

bool IsWarning(Problem problem) {
  return problem == Problem::kLinkSkipped || problem == Problem::kKeptExisting ||
         problem == Problem::kMetadataNotSet || problem == Problem::kZoneMarkNotSet ||
         problem == Problem::kZoneMarksNotKept || problem == Problem::kNotReached;
}

// Errors go to the console and are kept for a box that a silent run may show.
class ErrorReport {
 public:
  explicit ErrorReport(Console& console) : console_(console) {}
  void Error(const std::wstring& text) {
    console_.Err(text);
    text_ += text;
  }
  void Warning(const std::wstring& text) { console_.Err(text); }
  std::wstring Take() { return std::move(text_); }

 private:
  Console& console_;
  std::wstring text_;
};

class ConsoleObserver final : public Observer {
 public:
  ConsoleObserver(Console& console, ErrorReport& errors, bool listing)
      : console_(console), errors_(errors), listing_(listing) {}

  bool Cancelled() override { return interrupted.load(); }

  void EntryProblem(const EntryReport& report) override {
    const std::wstring text = DescribeEntryLine(report);
    if (IsWarning(report.problem)) {
      errors_.Warning(kWarningPrefix + text);
    } else {
      errors_.Error(kErrorPrefix + text);
    }
  }

  // -t lists every file with its CRC, 7-Zip's way of proving the archive sound.
  void EntryFinished(const EntryOutcome& outcome) override {
    if (!listing_ || outcome.directory) return;
    const bool ok = outcome.problem == Problem::kNone;
    console_.Out((ok ? Hex8(outcome.crc32) : std::wstring(8, L'-')) + L"  " +
                 PadLeft(FormatCount(outcome.size), 12) + L"  " +
                 (ok ? std::wstring(L"OK") : Widen(Describe(outcome.problem))) + L"  " +
                 ShownEscaped(outcome.path) + L"\r\n");
  }

 private:
  Console& console_;
  ErrorReport& errors_;
  bool listing_;
};

void ReportSummary(const ExtractResult& result, bool testing, const std::wstring& root,
                   std::optional<std::uint64_t> needed, std::optional<std::uint64_t> available,
                   Console& console, ErrorReport& errors) {
  if (result.fatal != Fatal::kNone) {
    errors.Error(
        kErrorPrefix +
        DescribeRunFailure(result.fatal, result.fatalDetail, needed.value_or(0), available) +
        L"\r\n");
    if (result.files == 0) return;  // nothing done: the error says it all
  }
  console.Out(DescribeUnattendedSummary(result, testing, DisplayPath(root)) + L"\r\n");
}

}  // namespace

RunOutcome RunUnattended(const CommandLine& commandLine, const RunPlan& plan, Session& session,
                         Console& console) {
  Options options = RunOptions(session, commandLine);
  options.testOnly = commandLine.testOnly;
  // Nobody to ask: "ask" becomes "replace", as it always was without a script.
  options.overwrite = plan.overwrite == OverwritePolicy::kSkipAll ? OverwritePolicy::kSkipAll
                                                                  : OverwritePolicy::kOverwriteAll;
  ErrorReport errors(console);
  ConsoleObserver observer(console, errors, commandLine.testOnly);
  ::SetConsoleCtrlHandler(OnConsoleInterrupt, TRUE);
  RunOutcome outcome;
  auto finish = [&](int exitCode) {
    outcome.exitCode = exitCode;
    outcome.errors = errors.Take();
    return std::move(outcome);
  };

  const Listing listing = ListArchive(*session.source, session.archiveOffset, options, observer);
  if (const std::optional<ListingFailure> failure = listing_failure(listing)) {
    errors.Error(kErrorPrefix + failure->text + L"\r\n");
    return finish(failure->exitCode);
  }

  if (commandLine.testOnly) {
    const ExtractResult result = ExtractArchive(*session.source, session.archiveOffset, nullptr,
                                                options, observer, &listing);
    ReportSummary(result, true, {}, std::nullopt, std::nullopt, console, errors);
    return finish(static_cast<int>(result.exit_code()));
  }

  const std::wstring wanted = plan.destination.value_or(DefaultDestination(session, listing));
  const std::wstring root = AbsoluteLongPath(wanted);
  if (root.empty()) {
    errors.Error(kErrorPrefix + (kDestinationInvalid + wanted) + L"\r\n");
    return finish(static_cast<int>(ExitCode::kFatal));
  }
  const bool rootExisted = ::GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES;
  FileDestination destination(root);
  destination.SetZoneMarks(options.zoneMark.has_value());
  if (Status status = destination.CreateRoot(); !status) {
    errors.Error(kErrorPrefix + DescribeRootFailureLine(DisplayPath(root), status.error) + L"\r\n");
    return finish(static_cast<int>(ExitCode::kFatal));
  }
  const ExtractResult result = ExtractArchive(*session.source, session.archiveOffset, &destination,
                                              options, observer, &listing);
  destination.ReleaseFolders();
  // A run that failed before writing anything leaves no empty folder of ours behind.
  if (!rootExisted && (result.fatal != Fatal::kNone || result.cancelled) && result.files == 0 &&
      result.folders == 0) {
    ::RemoveDirectoryW(root.c_str());
  }
  ReportSummary(result, false, root, listing.declaredTotal, destination.FreeSpace(), console,
                errors);
  outcome.everyEntryExtracted = EveryEntryExtracted(result);
  outcome.root = DisplayPath(root);
  return finish(static_cast<int>(result.exit_code()));
}

}  // namespace kzsfx::win32
