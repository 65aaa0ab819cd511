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

constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressIntervalMs = 100;
constexpr int kProgressSteps = 1000;
constexpr int kSummaryButtonWidth = 64;  // dialog units: fits "打开文件夹(O)"

constexpr int kSetupControls[] = {IDC_DEST_LABEL, IDC_DEST, IDC_BROWSE, IDC_INFO};
constexpr int kPasswordControls[] = {IDC_PASSWORD_LABEL, IDC_PASSWORD};
constexpr int kProgressControls[] = {IDC_CURRENT_LABEL, IDC_CURRENT, IDC_PROGRESS, IDC_BYTES};
constexpr int kSummaryControls[] = {IDC_SUMMARY, IDC_SUMMARY_PATH, IDC_PROBLEMS};

enum class View { kSetup, kProgress, kSummary };

constexpr const char* ViewName(View view) {
  switch (view) {
    case View::kSetup:
      return "setup";
    case View::kProgress:
      return "progress";
    case View::kSummary:
      return "summary";
  }
  return "";
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void ShowControls(HWND dialog, const auto& ids, bool visible) {
  for (int id : ids) ::ShowWindow(::GetDlgItem(dialog, id), visible ? SW_SHOW : SW_HIDE);
}

class ExtractDialog final : public ModalDialog {
 public:
  ExtractDialog(const CommandLine& commandLine, const RunPlan& plan, Session& session,
                Listing listing, Options options)
      : commandLine_(commandLine),
        plan_(plan),
        session_(session),
        listing_(std::move(listing)),
        options_(std::move(options)),
        worker_(session, listing_) {}

  RunOutcome Run() {
    const INT_PTR code = Show(IDD_EXTRACT, nullptr);
    RunOutcome outcome;
    outcome.exitCode = code < 0 ? static_cast<int>(ExitCode::kFatal) : static_cast<int>(code);
    if (destination_ && view_ != View::kSetup) {
      outcome.everyEntryExtracted = EveryEntryExtracted(result_);
      outcome.root = DisplayPath(destination_->Root());
    }
    return outcome;
  }

 private:
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_INITDIALOG:
        // FALSE: OnInit chose the focus itself.
        return OnInit() ? TRUE : FALSE;
      case WM_COMMAND:
        // Enter reaches us as IDOK whatever the view shows, and a hidden button's
        // mnemonic or a queued click can arrive late: each command acts only in its own
        // view. A second Extract would replace the destination the worker is using.
        switch (LOWORD(wparam)) {
          case IDC_BROWSE:
            test_hooks::NoteCommand(IDC_BROWSE, ViewName(view_));
            if (view_ == View::kSetup) OnBrowse();
            return TRUE;
          case IDOK:
            test_hooks::NoteCommand(IDOK, ViewName(view_));
            if (view_ == View::kSetup) {
              OnExtract();
            } else if (view_ == View::kSummary) {
              OnOpenFolder();
            }
            return TRUE;
          case IDCANCEL:
            test_hooks::NoteCommand(IDCANCEL, ViewName(view_));
            OnCancel();
            return TRUE;
        }
        break;
      case WM_TIMER:
        if (wparam == kProgressTimer) RefreshProgress();
        return TRUE;
      case kMsgExtractionDone:
        OnDone();
        return TRUE;
      case kMsgAskOverwrite: {
        auto* request = reinterpret_cast<OverwriteRequest*>(lparam);
        request->answer = win32::AskOverwrite(Window(), request->path);
        return TRUE;
      }
      case kMsgAskPassword: {
        auto* request = reinterpret_cast<PasswordRequest*>(lparam);
        request->answer = win32::AskPassword(Window(), request->path, request->retry);
        return TRUE;
      }
    }
    return FALSE;
  }

  // True when the dialog manager should focus the first control.
  bool OnInit() {
    ::SetWindowTextW(Window(), Title().c_str());
    const std::wstring destination =
        plan_.destination.value_or(DefaultDestination(session_, listing_));
    ::SetDlgItemTextW(Window(), IDC_DEST, destination.c_str());
    ::SetDlgItemTextW(Window(), IDC_INFO, DescribeContents(listing_).c_str());
    if (listing_.anyEncrypted) {
      ShowControls(Window(), kPasswordControls, true);
      if (commandLine_.password)
        ::SetDlgItemTextW(Window(), IDC_PASSWORD, commandLine_.password->c_str());
    }
    ::SendDlgItemMessageW(Window(), IDC_PROGRESS, PBM_SETRANGE32, 0, kProgressSteps);
    ShowScriptLines();
    if (!plan_.askDestination) {
      for (int id : {IDC_DEST_LABEL, IDC_DEST, IDC_BROWSE})
        ::ShowWindow(::GetDlgItem(Window(), id), SW_HIDE);
    }
    if (plan_.silence == Silence::kProgressOnly) {
      // No start page: straight to the progress, before the dialog is first shown.
      OnExtract();
      return false;
    }
    // Bring ourselves forward: started from a browser's download list, we may not be.
    ::SetForegroundWindow(Window());
    if (listing_.anyEncrypted && !commandLine_.password) {
      // The one thing left to type: the password, then Enter.
      ::SetFocus(::GetDlgItem(Window(), IDC_PASSWORD));
      return false;
    }
    return true;
  }

  void OnBrowse() {
    const std::wstring current = WindowText(::GetDlgItem(Window(), IDC_DEST));
    // Start where the user is pointing, or at the nearest folder that exists.
    std::wstring start = current;
    while (!start.empty() && ::GetFileAttributesW(start.c_str()) == INVALID_FILE_ATTRIBUTES) {
      const size_t slash = start.find_last_of(L"\\/");
      start = slash == std::wstring::npos ? std::wstring() : start.substr(0, slash);
    }
    if (std::optional<std::wstring> chosen = PickFolder(Window(), start)) {
      ::SetDlgItemTextW(Window(), IDC_DEST, chosen->c_str());
    }
  }

  void OnExtract() {
    const std::wstring typed = WindowText(::GetDlgItem(Window(), IDC_DEST));
    const std::wstring root = AbsoluteLongPath(typed);
    if (root.empty()) {
      Message(kEnterDestination, MB_ICONWARNING);
      return;
    }
    destination_ = std::make_unique<FileDestination>(root);
    if (Status status = destination_->CreateRoot(); !status) {
      Message(DescribeRootFailureBox(DisplayPath(root), status.error), MB_ICONERROR);
      return;
    }
    if (listing_.anyEncrypted) {
      options_.password = password_forms(WindowText(::GetDlgItem(Window(), IDC_PASSWORD)));
    }
    ShowView(View::kProgress);
    RefreshProgress();
    ::SetTimer(Window(), kProgressTimer, kProgressIntervalMs, nullptr);
    if (!worker_.Start(Window(), *destination_, options_)) {
      result_.fatal = Fatal::kOutOfMemory;
      OnDone();
    }
  }

  void OnCancel() {
    switch (view_) {
      case View::kSetup:
        ::EndDialog(Window(), static_cast<INT_PTR>(ExitCode::kCancelled));
        break;
      case View::kProgress:
        worker_.Cancel();
        ::EnableWindow(::GetDlgItem(Window(), IDCANCEL), FALSE);
        ::SetDlgItemTextW(Window(), IDC_CURRENT_LABEL, kCancelling);
        break;
      case View::kSummary:
        ::EndDialog(Window(), static_cast<INT_PTR>(result_.exit_code()));
        break;
    }
  }

  void OnOpenFolder() {
    const std::wstring shown = DisplayPath(destination_->Root());
    ::ShellExecuteW(Window(), L"open", shown.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  }

  void RefreshProgress() {
    const ExtractionProgress now = worker_.Progress();
    const std::uint64_t done = now.done;
    const std::uint64_t total = now.total;
    const int position =
        total == 0
            ? 0
            : static_cast<int>(done >= total ? kProgressSteps : done * kProgressSteps / total);
    ::SendDlgItemMessageW(Window(), IDC_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    const std::wstring bytes = FormatSize(done) + L" / " + FormatSize(total);
    if (bytes != shownBytes_) {
      shownBytes_ = bytes;
      ::SetDlgItemTextW(Window(), IDC_BYTES, bytes.c_str());
    }
    if (now.current != shownCurrent_) {
      shownCurrent_ = now.current;
      ::SetDlgItemTextW(Window(), IDC_CURRENT, now.current.c_str());
    }
  }

  void OnDone() {
    ::KillTimer(Window(), kProgressTimer);
    if (worker_.Running()) result_ = worker_.Finish();
    if (result_.cancelled && result_.fatal == Fatal::kNone) {
      ::EndDialog(Window(), static_cast<INT_PTR>(ExitCode::kCancelled));
      return;
    }
    RefreshProgress();
    // Setup follows, or only the progress was to be seen: a run without faults needs no
    // summary.
    const bool clean = result_.exit_code() == ExitCode::kOk;
    if (EveryEntryExtracted(result_) &&
        (plan_.runsSetup || (clean && plan_.silence == Silence::kProgressOnly))) {
      ::EndDialog(Window(), static_cast<INT_PTR>(result_.exit_code()));
      return;
    }
    ShowSummary();
  }

  // The script's Text lines and the program it will run go above everything else: the
  // controls move down and the dialog grows by their height.
  void ShowScriptLines() {
    if (plan_.script == nullptr) return;
    std::wstring text;
    int lines = 0;
    for (const std::string& line : plan_.script->texts) {
      text += Widen(line) + L"\r\n";
      ++lines;
    }
    if (plan_.runsSetup) {
      text += DescribeSetupLine(plan_.script->setup->program, plan_.script->setup->arguments);
      ++lines;
    }
    if (lines == 0) return;
    RECT height{0, 0, 0, 9 * lines + 4};
    ::MapDialogRect(Window(), &height);
    const int shift = height.bottom;
    for (HWND child = ::GetWindow(Window(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      RECT place{};
      ::GetWindowRect(child, &place);
      ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&place), 2);
      ::SetWindowPos(child, nullptr, place.left, place.top + shift, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RECT info{7, 7, 246, 9 * lines};
    ::MapDialogRect(Window(), &info);
    const HWND control = ::GetDlgItem(Window(), IDC_SCRIPT_INFO);
    ::SetWindowPos(control, nullptr, info.left, info.top, info.right, info.bottom,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowTextW(control, text.c_str());
    ::ShowWindow(control, SW_SHOW);
    RECT frame{};
    ::GetWindowRect(Window(), &frame);
    ::SetWindowPos(Window(), nullptr, 0, 0, frame.right - frame.left,
                   frame.bottom - frame.top + shift, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  std::wstring Title() const {
    if (plan_.script != nullptr && !plan_.script->title.empty()) return Widen(plan_.script->title);
    return session_.title;
  }

  void ShowSummary() {
    const std::wstring summary =
        DescribeDialogSummary(result_, listing_.declaredTotal, destination_->FreeSpace());
    const std::wstring problems = DescribeEntryProblems(result_);
    ::SetDlgItemTextW(Window(), IDC_SUMMARY, summary.c_str());
    ::SetDlgItemTextW(Window(), IDC_SUMMARY_PATH, DisplayPath(destination_->Root()).c_str());
    ::SetDlgItemTextW(Window(), IDC_PROBLEMS, problems.c_str());
    ShowView(View::kSummary);
    if (problems.empty()) ::ShowWindow(::GetDlgItem(Window(), IDC_PROBLEMS), SW_HIDE);
    if (result_.fatal != Fatal::kNone)
      ::ShowWindow(::GetDlgItem(Window(), IDC_SUMMARY_PATH), SW_HIDE);
    if (result_.files == 0 && result_.folders == 0)
      ::ShowWindow(::GetDlgItem(Window(), IDOK), SW_HIDE);
    if (result_.exit_code() != ExitCode::kOk) ::MessageBeep(MB_ICONWARNING);
  }

  void ShowView(View view) {
    view_ = view;
    ShowControls(Window(), kSetupControls, view == View::kSetup);
    ShowControls(Window(), kPasswordControls, view == View::kSetup && listing_.anyEncrypted);
    ShowControls(Window(), kProgressControls, view == View::kProgress);
    ShowControls(Window(), kSummaryControls, view == View::kSummary);
    const HWND ok = ::GetDlgItem(Window(), IDOK);
    const HWND cancel = ::GetDlgItem(Window(), IDCANCEL);
    switch (view) {
      case View::kSetup:
        break;
      case View::kProgress:
        ::ShowWindow(ok, SW_HIDE);
        ::SetFocus(cancel);
        break;
      case View::kSummary:
        ::SetWindowTextW(ok, kOpenFolderButton);
        WidenLeftwards(ok, kSummaryButtonWidth);
        ::SetWindowTextW(cancel, kCloseButton);
        ::EnableWindow(cancel, TRUE);
        ::ShowWindow(ok, SW_SHOW);
        // "Close" becomes the default: Enter ends the dialog.
        ::SendMessageW(Window(), DM_SETDEFID, IDCANCEL, 0);
        ::SendMessageW(ok, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
        ::SendMessageW(cancel, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
        ::SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(cancel), TRUE);
        break;
    }
    test_hooks::NoteView(ViewName(view));
  }

  // A longer caption needs a wider button; its right edge stays where it was.
  void WidenLeftwards(HWND control, int widthUnits) {
    RECT wanted{0, 0, widthUnits, 0};
    ::MapDialogRect(Window(), &wanted);
    RECT now{};
    ::GetWindowRect(control, &now);
    ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&now), 2);
    ::SetWindowPos(control, nullptr, now.right - wanted.right, now.top, wanted.right,
                   now.bottom - now.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void Message(const std::wstring& text, UINT icon) {
    ::MessageBoxW(Window(), text.c_str(), Title().c_str(), MB_OK | icon);
  }

  const CommandLine& commandLine_;
  const RunPlan& plan_;
  Session& session_;
  Listing listing_;
  Options options_;
  View view_ = View::kSetup;
  std::unique_ptr<FileDestination> destination_;
  ExtractionWorker worker_;
  ExtractResult result_;

  // What the dialog shows now, to skip repainting unchanged text.
  std::wstring shownBytes_;
  std::wstring shownCurrent_;
};

// Listing runs before the window appears; it reads headers only, so it is quick.
class SilentObserver final : public Observer {};

}  // namespace

void ShowError(const std::wstring& title, const std::wstring& text) {
  ::MessageBoxW(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

RunOutcome RunDialog(const CommandLine& commandLine, const RunPlan& plan, Session& session) {
  if (!LoadCommonControls()) {
    ShowError(session.title, kCommonControlsMissing);
    RunOutcome outcome;
    outcome.exitCode = static_cast<int>(ExitCode::kFatal);
    return outcome;
  }
  ComApartment com;

  Options options = RunOptions(session, commandLine);
  options.overwrite = plan.overwrite.value_or(OverwritePolicy::kAsk);
  SilentObserver observer;
  Listing listing = ListArchive(*session.source, session.archiveOffset, options, observer);
  if (const std::optional<ListingFailure> failure = listing_failure(listing)) {
    ShowError(session.title, failure->text);
    RunOutcome outcome;
    outcome.exitCode = failure->exitCode;
    return outcome;
  }
  ExtractDialog dialog(commandLine, plan, session, std::move(listing), std::move(options));
  return dialog.Run();
}

}  // namespace kzsfx::win32
