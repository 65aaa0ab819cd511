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

  std::optional<OverwriteAnswer> Ask(HWND owner) {
    switch (Show(IDD_OVERWRITE, owner)) {
      case IDC_OVERWRITE_YES:
        return OverwriteAnswer::kOverwrite;
      case IDC_OVERWRITE_NO:
        return OverwriteAnswer::kSkip;
      case IDC_OVERWRITE_ALL:
        return OverwriteAnswer::kOverwriteAll;
      case IDC_OVERWRITE_NONE:
        return OverwriteAnswer::kSkipAll;
      default:
        return std::nullopt;
    }
  }

 private:
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG: {
        ::SetDlgItemTextW(Window(), IDC_OVERWRITE_NAME, path_.c_str());
        // IDI_WARNING is an ANSI resource name in this build; its number is the same for the W
        // call.
        const HICON warning = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32515));
        ::SendDlgItemMessageW(Window(), IDC_OVERWRITE_ICON, STM_SETICON,
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
            ::EndDialog(Window(), LOWORD(wparam));
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

  std::optional<std::wstring> Ask(HWND owner) {
    if (Show(IDD_PASSWORD, owner) != IDOK) return std::nullopt;
    return std::move(answer_);
  }

 private:
  INT_PTR Handle(UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        ::SetDlgItemTextW(Window(), IDC_PASSWORD_PROMPT,
                          retry_ ? kPasswordRetryPrompt : kPasswordPrompt);
        ::SetDlgItemTextW(Window(), IDC_PASSWORD_NAME, path_.c_str());
        if (retry_) ::MessageBeep(MB_ICONWARNING);
        return TRUE;
      case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
          const HWND edit = ::GetDlgItem(Window(), IDC_PASSWORD_EDIT);
          answer_.resize(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1);
          answer_.resize(::GetWindowTextW(edit, answer_.data(), static_cast<int>(answer_.size())));
          ::EndDialog(Window(), IDOK);
          return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
          ::EndDialog(Window(), IDCANCEL);
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

std::optional<OverwriteAnswer> AskOverwrite(HWND owner, const std::wstring& path) {
  return OverwriteDialog(path).Ask(owner);
}

std::optional<std::wstring> AskPassword(HWND owner, const std::wstring& path, bool retry) {
  return PasswordDialog(path, retry).Ask(owner);
}

}  // namespace kzsfx::win32
