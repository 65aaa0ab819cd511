// The extraction dialog's views: the destination, the progress, the summary.
#include "stub/win32/extract_dialog.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include "stub/core/installer_script.h"
#include "stub/core/listing.h"
#include "stub/win32/common_controls.h"
#include "stub/win32/extraction_worker.h"
#include "stub/win32/file_destination.h"
#include "stub/win32/folder_picker.h"
#include "stub/win32/handles.h"
#include "stub/win32/messages.h"
#include "stub/win32/modal_dialog.h"
#include "stub/win32/questions.h"
#include "stub/win32/resource.h"
#include "stub/win32/test_hooks.h"
#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

constexpr UINT_PTR progress_timer = 1;
constexpr UINT progress_interval_ms = 100;
constexpr int progress_steps = 1000;
constexpr int summary_button_width = 64;  // dialog units: fits "打开文件夹(O)"

constexpr int setup_controls[] = {IDC_DEST_LABEL, IDC_DEST, IDC_BROWSE, IDC_INFO};
constexpr int password_controls[] = {IDC_PASSWORD_LABEL, IDC_PASSWORD};
constexpr int progress_controls[] = {IDC_CURRENT_LABEL, IDC_CURRENT, IDC_PROGRESS, IDC_BYTES};
constexpr int summary_controls[] = {IDC_SUMMARY, IDC_SUMMARY_PATH, IDC_PROBLEMS};

enum class View { setup, progress, summary };

constexpr const char* view_name(View view) {
  switch (view) {
    case View::setup:
      return "setup";
    case View::progress:
      return "progress";
    case View::summary:
      return "summary";
  }
  return "";
}

std::wstring window_text(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void show_controls(HWND dialog, const auto& ids, bool visible) {
  for (int id : ids) ::ShowWindow(::GetDlgItem(dialog, id), visible ? SW_SHOW : SW_HIDE);
}

class ExtractDialog final : public ModalDialog {
 public:
  ExtractDialog(const CommandLine& command_line, const RunPlan& plan, Session& session,
                Listing listing, Options options)
      : command_line_(command_line),
        plan_(plan),
        session_(session),
        listing_(std::move(listing)),
        options_(std::move(options)),
        worker_(session, listing_) {}

  RunOutcome run() {
    const INT_PTR code = show(IDD_EXTRACT, nullptr);
    RunOutcome outcome;
    outcome.exitCode = code < 0 ? static_cast<int>(ExitCode::fatal) : static_cast<int>(code);
    if (destination_ && view_ != View::setup) {
      outcome.everyEntryExtracted = EveryEntryExtracted(result_);
      outcome.root = display_path(destination_->root());
    }
    return outcome;
  }

 private:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_INITDIALOG:
        // FALSE: on_init chose the focus itself.
        return on_init() ? TRUE : FALSE;
      case WM_COMMAND:
        // Enter reaches us as IDOK whatever the view shows, and a hidden button's
        // mnemonic or a queued click can arrive late: each command acts only in its own
        // view. A second Extract would replace the destination the worker is using.
        switch (LOWORD(wparam)) {
          case IDC_BROWSE:
            test_hooks::NoteCommand(IDC_BROWSE, view_name(view_));
            if (view_ == View::setup) on_browse();
            return TRUE;
          case IDOK:
            test_hooks::NoteCommand(IDOK, view_name(view_));
            if (view_ == View::setup) {
              on_extract();
            } else if (view_ == View::summary) {
              on_open_folder();
            }
            return TRUE;
          case IDCANCEL:
            test_hooks::NoteCommand(IDCANCEL, view_name(view_));
            on_cancel();
            return TRUE;
        }
        break;
      case WM_TIMER:
        if (wparam == progress_timer) refresh_progress();
        return TRUE;
      case msg_extraction_done:
        on_done();
        return TRUE;
      case msg_ask_overwrite: {
        auto* request = reinterpret_cast<OverwriteRequest*>(lparam);
        request->answer = win32::ask_overwrite(window(), request->path);
        return TRUE;
      }
      case msg_ask_password: {
        auto* request = reinterpret_cast<PasswordRequest*>(lparam);
        request->answer = win32::ask_password(window(), request->path, request->retry);
        return TRUE;
      }
    }
    return FALSE;
  }

  // True when the dialog manager should focus the first control.
  bool on_init() {
    ::SetWindowTextW(window(), title().c_str());
    const std::wstring destination =
        plan_.destination.value_or(default_destination(session_, listing_));
    ::SetDlgItemTextW(window(), IDC_DEST, destination.c_str());
    ::SetDlgItemTextW(window(), IDC_INFO, describe_contents(listing_).c_str());
    if (listing_.any_encrypted) {
      show_controls(window(), password_controls, true);
      if (command_line_.password)
        ::SetDlgItemTextW(window(), IDC_PASSWORD, command_line_.password->c_str());
    }
    ::SendDlgItemMessageW(window(), IDC_PROGRESS, PBM_SETRANGE32, 0, progress_steps);
    show_script_lines();
    if (!plan_.askDestination) {
      for (int id : {IDC_DEST_LABEL, IDC_DEST, IDC_BROWSE})
        ::ShowWindow(::GetDlgItem(window(), id), SW_HIDE);
    }
    if (plan_.silence == Silence::kProgressOnly) {
      // No start page: straight to the progress, before the dialog is first shown.
      on_extract();
      return false;
    }
    // Bring ourselves forward: started from a browser's download list, we may not be.
    ::SetForegroundWindow(window());
    if (listing_.any_encrypted && !command_line_.password) {
      // The one thing left to type: the password, then Enter.
      ::SetFocus(::GetDlgItem(window(), IDC_PASSWORD));
      return false;
    }
    return true;
  }

  void on_browse() {
    const std::wstring current = window_text(::GetDlgItem(window(), IDC_DEST));
    // Start where the user is pointing, or at the nearest folder that exists.
    std::wstring start = current;
    while (!start.empty() && ::GetFileAttributesW(start.c_str()) == INVALID_FILE_ATTRIBUTES) {
      const size_t slash = start.find_last_of(L"\\/");
      start = slash == std::wstring::npos ? std::wstring() : start.substr(0, slash);
    }
    if (std::optional<std::wstring> chosen = pick_folder(window(), start)) {
      ::SetDlgItemTextW(window(), IDC_DEST, chosen->c_str());
    }
  }

  void on_extract() {
    const std::wstring typed = window_text(::GetDlgItem(window(), IDC_DEST));
    const std::wstring root = absolute_long_path(typed);
    if (root.empty()) {
      message(kEnterDestination, MB_ICONWARNING);
      return;
    }
    destination_ = std::make_unique<FileDestination>(root);
    if (Status status = destination_->create_root(); !status) {
      message(describe_root_failure_box(display_path(root), status.error), MB_ICONERROR);
      return;
    }
    if (listing_.any_encrypted) {
      options_.password = password_forms(window_text(::GetDlgItem(window(), IDC_PASSWORD)));
    }
    show_view(View::progress);
    refresh_progress();
    ::SetTimer(window(), progress_timer, progress_interval_ms, nullptr);
    if (!worker_.start(window(), *destination_, options_)) {
      result_.fatal = Fatal::out_of_memory;
      on_done();
    }
  }

  void on_cancel() {
    switch (view_) {
      case View::setup:
        ::EndDialog(window(), static_cast<INT_PTR>(ExitCode::cancelled));
        break;
      case View::progress:
        worker_.cancel();
        ::EnableWindow(::GetDlgItem(window(), IDCANCEL), FALSE);
        ::SetDlgItemTextW(window(), IDC_CURRENT_LABEL, kCancelling);
        break;
      case View::summary:
        ::EndDialog(window(), static_cast<INT_PTR>(result_.exit_code()));
        break;
    }
  }

  void on_open_folder() {
    const std::wstring shown = display_path(destination_->root());
    ::ShellExecuteW(window(), L"open", shown.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

  void refresh_progress() {
    const ExtractionProgress now = worker_.progress();
    const std::uint64_t done = now.done;
    const std::uint64_t total = now.total;
    const int position =
        total == 0
            ? 0
            : static_cast<int>(done >= total ? progress_steps : done * progress_steps / total);
    ::SendDlgItemMessageW(window(), IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    const std::wstring bytes = format_size(done) + L" / " + format_size(total);
    if (bytes != shown_bytes_) {
      shown_bytes_ = bytes;
      ::SetDlgItemTextW(window(), IDC_BYTES, bytes.c_str());
    }
    if (now.current != shown_current_) {
      shown_current_ = now.current;
      ::SetDlgItemTextW(window(), IDC_CURRENT, now.current.c_str());
    }
  }

  void on_done() {
    ::KillTimer(window(), progress_timer);
    if (worker_.running()) result_ = worker_.finish();
    if (result_.cancelled && result_.fatal == Fatal::none) {
      ::EndDialog(window(), static_cast<INT_PTR>(ExitCode::cancelled));
      return;
    }
    refresh_progress();
    // Setup follows, or only the progress was to be seen: a run without faults needs no
    // summary.
    const bool clean = result_.exit_code() == ExitCode::ok;
    if (EveryEntryExtracted(result_) &&
        (plan_.runsSetup || (clean && plan_.silence == Silence::kProgressOnly))) {
      ::EndDialog(window(), static_cast<INT_PTR>(result_.exit_code()));
      return;
    }
    show_summary();
  }

  // The script's Text lines and the program it will run go above everything else: the
  // controls move down and the dialog grows by their height.
  void show_script_lines() {
    if (plan_.script == nullptr) return;
    std::wstring text;
    int lines = 0;
    for (const std::string& line : plan_.script->texts) {
      text += widen(line) + L"\r\n";
      ++lines;
    }
    if (plan_.runsSetup) {
      text += describe_setup_line(plan_.script->setup->program, plan_.script->setup->arguments);
      ++lines;
    }
    if (lines == 0) return;
    RECT height{0, 0, 0, 9 * lines + 4};
    ::MapDialogRect(window(), &height);
    const int shift = height.bottom;
    for (HWND child = ::GetWindow(window(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      RECT place{};
      ::GetWindowRect(child, &place);
      ::MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&place), 2);
      ::SetWindowPos(child, nullptr, place.left, place.top + shift, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT info{7, 7, 246, 9 * lines};
    ::MapDialogRect(window(), &info);
    const HWND control = ::GetDlgItem(window(), IDC_SCRIPT_INFO);
    ::SetWindowPos(control, nullptr, info.left, info.top, info.right, info.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowTextW(control, text.c_str());
    ::ShowWindow(control, SW_SHOW);
    RECT frame{};
    ::GetWindowRect(window(), &frame);
    ::SetWindowPos(window(), nullptr, 0, 0, frame.right - frame.left,
                   frame.bottom - frame.top + shift, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  std::wstring title() const {
    if (plan_.script != nullptr && !plan_.script->title.empty()) return widen(plan_.script->title);
    return session_.title;
  }

  void show_summary() {
    const std::wstring summary =
        describe_dialog_summary(result_, listing_.declared_total, destination_->free_space());
    const std::wstring problems = describe_entry_problems(result_);
    ::SetDlgItemTextW(window(), IDC_SUMMARY, summary.c_str());
    ::SetDlgItemTextW(window(), IDC_SUMMARY_PATH, display_path(destination_->root()).c_str());
    ::SetDlgItemTextW(window(), IDC_PROBLEMS, problems.c_str());
    show_view(View::summary);
    if (problems.empty()) ::ShowWindow(::GetDlgItem(window(), IDC_PROBLEMS), SW_HIDE);
    if (result_.fatal != Fatal::none)
      ::ShowWindow(::GetDlgItem(window(), IDC_SUMMARY_PATH), SW_HIDE);
    if (result_.files == 0 && result_.folders == 0)
      ::ShowWindow(::GetDlgItem(window(), IDOK), SW_HIDE);
    if (result_.exit_code() != ExitCode::ok) ::MessageBeep(MB_ICONWARNING);
  }

  void show_view(View view) {
    view_ = view;
    show_controls(window(), setup_controls, view == View::setup);
    show_controls(window(), password_controls, view == View::setup && listing_.any_encrypted);
    show_controls(window(), progress_controls, view == View::progress);
    show_controls(window(), summary_controls, view == View::summary);
    const HWND ok = ::GetDlgItem(window(), IDOK);
    const HWND cancel = ::GetDlgItem(window(), IDCANCEL);
    switch (view) {
      case View::setup:
        break;
      case View::progress:
        ::ShowWindow(ok, SW_HIDE);
        ::SetFocus(cancel);
        break;
      case View::summary:
        ::SetWindowTextW(ok, kOpenFolderButton);
        widen_leftwards(ok, summary_button_width);
        ::SetWindowTextW(cancel, kCloseButton);
        ::EnableWindow(cancel, TRUE);
        ::ShowWindow(ok, SW_SHOW);
        // "Close" becomes the default: Enter ends the dialog.
        ::SendMessageW(window(), DM_SETDEFID, IDCANCEL, 0);
        ::SendMessageW(ok, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        ::SendMessageW(cancel, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        ::SendMessageW(window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(cancel), TRUE);
        break;
    }
    test_hooks::NoteView(view_name(view));
  }

  // A longer caption needs a wider button; its right edge stays where it was.
  void widen_leftwards(HWND control, int width_units) {
    RECT wanted{0, 0, width_units, 0};
    ::MapDialogRect(window(), &wanted);
    RECT now{};
    ::GetWindowRect(control, &now);
    ::MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&now), 2);
    ::SetWindowPos(control, nullptr, now.right - wanted.right, now.top, wanted.right,
                   now.bottom - now.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void message(const std::wstring& text, UINT icon) {
    ::MessageBoxW(window(), text.c_str(), title().c_str(), MB_OK | icon);
  }

  const CommandLine& command_line_;
  const RunPlan& plan_;
  Session& session_;
  Listing listing_;
  Options options_;
  View view_ = View::setup;
  std::unique_ptr<FileDestination> destination_;
  ExtractionWorker worker_;
  ExtractResult result_;

  // What the dialog shows now, to skip repainting unchanged text.
  std::wstring shown_bytes_;
  std::wstring shown_current_;
};

// Listing runs before the window appears; it reads headers only, so it is quick.
class SilentObserver final : public Observer {};

}  // namespace

void show_error(const std::wstring& title, const std::wstring& text) {
  ::MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

RunOutcome run_dialog(const CommandLine& command_line, const RunPlan& plan, Session& session) {
  if (!LoadCommonControls()) {
    show_error(session.title, kCommonControlsMissing);
    RunOutcome outcome;
    outcome.exitCode = static_cast<int>(ExitCode::fatal);
    return outcome;
  }
  ComApartment com;

  Options options = run_options(session, command_line);
  options.overwrite = plan.overwrite.value_or(OverwritePolicy::ask);
  SilentObserver observer;
  Listing listing = list_archive(*session.source, session.archive_offset, options, observer);
  if (const std::optional<ListingFailure> failure = listing_failure(listing)) {
    show_error(session.title, failure->text);
    RunOutcome outcome;
    outcome.exitCode = failure->exit_code;
    return outcome;
  }
  ExtractDialog dialog(command_line, plan, session, std::move(listing), std::move(options));
  return dialog.run();
}

}  // namespace kzsfx::win32
