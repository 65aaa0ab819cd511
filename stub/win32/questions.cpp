// The overwrite and password dialogs.
#include "stub/win32/questions.h"

#include "stub/win32/messages.h"
#include "stub/win32/modal_dialog.h"
#include "stub/win32/resource.h"

namespace kzsfx::win32 {
namespace {

class OverwriteDialog final : public ModalDialog {
 public:
  explicit OverwriteDialog(const std::wstring& path) : path_(path) {}

  std::optional<OverwriteAnswer> ask(HWND owner) {
    switch (show(IDD_OVERWRITE, owner)) {
      case IDC_OVERWRITE_YES:
        return OverwriteAnswer::overwrite;
      case IDC_OVERWRITE_NO:
        return OverwriteAnswer::skip;
      case IDC_OVERWRITE_ALL:
        return OverwriteAnswer::overwrite_all;
      case IDC_OVERWRITE_NONE:
        return OverwriteAnswer::skip_all;
      default:
        return std::nullopt;
    }
  }

 private:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG: {
        ::SetDlgItemTextW(window(), IDC_OVERWRITE_NAME, path_.c_str());
        // IDI_WARNING is an ANSI resource name in this build; its number is the same for the W
        // call.
        const HICON warning = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32515));
        ::SendDlgItemMessageW(window(), IDC_OVERWRITE_ICON, STM_SETICON,
                              reinterpret_cast<WPARAM>(warning), 0);
        ::MessageBeep(MB_ICONWARNING);
        return TRUE;
      }
      case WM_COMMAND:
        switch (LOWORD(wparam)) {
          case IDC_OVERWRITE_YES:
          case IDC_OVERWRITE_NO:
          case IDC_OVERWRITE_ALL:
          case IDC_OVERWRITE_NONE:
          case IDCANCEL:
            ::EndDialog(window(), LOWORD(wparam));
            return TRUE;
        }
        break;
    }
    return FALSE;
  }

  const std::wstring& path_;
};

class PasswordDialog final : public ModalDialog {
 public:
  PasswordDialog(const std::wstring& path, bool retry) : path_(path), retry_(retry) {}

  std::optional<std::wstring> ask(HWND owner) {
    if (show(IDD_PASSWORD, owner) != IDOK) return std::nullopt;
    return std::move(answer_);
  }

 private:
  INT_PTR handle(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        ::SetDlgItemTextW(window(), IDC_PASSWORD_PROMPT,
                          retry_ ? kPasswordRetryPrompt : kPasswordPrompt);
        ::SetDlgItemTextW(window(), IDC_PASSWORD_NAME, path_.c_str());
        if (retry_) ::MessageBeep(MB_ICONWARNING);
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
          const HWND edit = ::GetDlgItem(window(), IDC_PASSWORD_EDIT);
          answer_.resize(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1);
          answer_.resize(::GetWindowTextW(edit, answer_.data(), static_cast<int>(answer_.size())));
          ::EndDialog(window(), IDOK);
          return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
          ::EndDialog(window(), IDCANCEL);
          return TRUE;
        }
        break;
    }
    return FALSE;
  }

  const std::wstring& path_;
  bool retry_;
  std::wstring answer_;
};

}  // namespace

std::optional<OverwriteAnswer> ask_overwrite(HWND owner, const std::wstring& path) {
  return OverwriteDialog(path).ask(owner);
}

std::optional<std::wstring> ask_password(HWND owner, const std::wstring& path, bool retry) {
  return PasswordDialog(path, retry).ask(owner);
}

}  // namespace kzsfx::win32
