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

BOOL WINAPI on_console_interrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  interrupted.store(true);
  return TRUE;
}

std::wstring hex8(std::uint32_t value) {
  std::wstring text(8, L'0');
  for (int i = 7; i >= 0; --i, value >>= 4) text[i] = L"0123456789ABCDEF"[value & 15];
  return text;
}

std::wstring pad_left(std::wstring text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), L' ');
  return text;
}

bool is_warning(Problem problem) {
  return problem == Problem::link_skipped || problem == Problem::kept_existing ||
         problem == Problem::metadata_not_set || problem == Problem::zone_mark_not_set ||
         problem == Problem::zone_marks_not_kept || problem == Problem::not_reached;
}

// Errors go to the console and are kept for a box that a silent run may show.
class ErrorReport {
 public:
  explicit ErrorReport(Console& console) : console_(console) {}
  void error(const std::wstring& text) {
    console_.err(text);
    text_ += text;
  }
  void warning(const std::wstring& text) { console_.err(text); }
  std::wstring take() { return std::move(text_); }

 private:
  Console& console_;
  std::wstring text_;
};

class ConsoleObserver final : public Observer {
 public:
  ConsoleObserver(Console& console, ErrorReport& errors, bool listing)
      : console_(console), errors_(errors), listing_(listing) {}

  bool cancelled() override { return interrupted.load(); }

  void entry_problem(const EntryReport& report) override {
    const std::wstring text = describe_entry_line(report);
    if (is_warning(report.problem)) {
      errors_.warning(kWarningPrefix + text);
    } else {
      errors_.error(kErrorPrefix + text);
    }
  }

  // -t lists every file with its CRC, 7-Zip's way of proving the archive sound.
  void entry_finished(const EntryOutcome& outcome) override {
    if (!listing_ || outcome.directory) return;
    const bool ok = outcome.problem == Problem::none;
    console_.out((ok ? hex8(outcome.crc32) : std::wstring(8, L'-')) + L"  " +
                 pad_left(format_count(outcome.size), 12) + L"  " +
                 (ok ? std::wstring(L"OK") : widen(describe(outcome.problem))) + L"  " +
                 shown_escaped(outcome.path) + L"\r\n");
  }

 private:
  Console& console_;
  ErrorReport& errors_;
  bool listing_;
};

void report_summary(const ExtractResult& result, bool testing, const std::wstring& root,
                    std::optional<std::uint64_t> needed, std::optional<std::uint64_t> available,
                    Console& console, ErrorReport& errors) {
  if (result.fatal != Fatal::none) {
    errors.error(
        kErrorPrefix +
        describe_run_failure(result.fatal, result.fatal_detail, needed.value_or(0), available) +
        L"\r\n");
    if (result.files == 0) return;  // nothing done: the error says it all
  }
  console.out(describe_unattended_summary(result, testing, display_path(root)) + L"\r\n");
}

}  // namespace

RunOutcome run_unattended(const CommandLine& command_line, const RunPlan& plan, Session& session,
                          Console& console) {
  Options options = run_options(session, command_line);
  options.test_only = command_line.test_only;
  // Nobody to ask: "ask" becomes "replace", as it always was without a script.
  options.overwrite = plan.overwrite == OverwritePolicy::skip_all ? OverwritePolicy::skip_all
                                                                  : OverwritePolicy::overwrite_all;
  ErrorReport errors(console);
  ConsoleObserver observer(console, errors, command_line.test_only);
  ::SetConsoleCtrlHandler(on_console_interrupt, TRUE);
  RunOutcome outcome;
  auto finish = [&](int exit_code) {
    outcome.exitCode = exit_code;
    outcome.errors = errors.take();
    return std::move(outcome);
  };

  const Listing listing = list_archive(*session.source, session.archive_offset, options, observer);
  if (const std::optional<ListingFailure> failure = listing_failure(listing)) {
    errors.error(kErrorPrefix + failure->text + L"\r\n");
    return finish(failure->exit_code);
  }

  if (command_line.test_only) {
    const ExtractResult result = extract_archive(*session.source, session.archive_offset, nullptr,
                                                 options, observer, &listing);
    report_summary(result, true, {}, std::nullopt, std::nullopt, console, errors);
    return finish(static_cast<int>(result.exit_code()));
  }

  const std::wstring wanted = plan.destination.value_or(default_destination(session, listing));
  const std::wstring root = absolute_long_path(wanted);
  if (root.empty()) {
    errors.error(kErrorPrefix + (kDestinationInvalid + wanted) + L"\r\n");
    return finish(static_cast<int>(ExitCode::fatal));
  }
  const bool root_existed = ::GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES;
  FileDestination destination(root);
  destination.set_zone_marks(options.zone_mark.has_value());
  if (Status status = destination.create_root(); !status) {
    errors.error(kErrorPrefix + describe_root_failure_line(display_path(root), status.error) +
                 L"\r\n");
    return finish(static_cast<int>(ExitCode::fatal));
  }
  const ExtractResult result = extract_archive(*session.source, session.archive_offset,
                                               &destination, options, observer, &listing);
  destination.release_folders();
  // A run that failed before writing anything leaves no empty folder of ours behind.
  if (!root_existed && (result.fatal != Fatal::none || result.cancelled) && result.files == 0 &&
      result.folders == 0) {
    ::RemoveDirectoryW(root.c_str());
  }
  report_summary(result, false, root, listing.declared_total, destination.free_space(), console,
                 errors);
  outcome.everyEntryExtracted = EveryEntryExtracted(result);
  outcome.root = display_path(root);
  return finish(static_cast<int>(result.exit_code()));
}

}  // namespace kzsfx::win32
