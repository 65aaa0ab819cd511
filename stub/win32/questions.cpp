// The overwrite and password dialogs.
#include "stub/win32/questions.h"

#include "stub/win32/resource.h"

namespace kzsfx::win32 {
namespace {

struct OverwriteQuestion {
    const std::wstring* path;
};

INT_PTR CALLBACK overwrite_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        const auto* question = reinterpret_cast<const OverwriteQuestion*>(lparam);
        ::SetDlgItemTextW(window, IDC_OVERWRITE_NAME, question->path->c_str());
        // IDI_WARNING is an ANSI resource name in this build; its number is the same for the W call.
        const HICON warning = ::LoadIconW(nullptr, MAKEINTRESOURCEW(32515));
        ::SendDlgItemMessageW(window, IDC_OVERWRITE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(warning), 0);
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
            ::EndDialog(window, LOWORD(wparam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

struct PasswordQuestion {
    const std::wstring* path;
    bool retry;
    std::wstring answer;
};

INT_PTR CALLBACK password_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrW(window, DWLP_USER, lparam);
        const auto* question = reinterpret_cast<const PasswordQuestion*>(lparam);
        ::SetDlgItemTextW(window, IDC_PASSWORD_PROMPT,
                          question->retry ? L"密码错误，请重新输入：" : L"此文件已加密，请输入密码：");
        ::SetDlgItemTextW(window, IDC_PASSWORD_NAME, question->path->c_str());
        if (question->retry) ::MessageBeep(MB_ICONWARNING);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            auto* question = reinterpret_cast<PasswordQuestion*>(::GetWindowLongPtrW(window, DWLP_USER));
            const HWND edit = ::GetDlgItem(window, IDC_PASSWORD_EDIT);
            question->answer.resize(static_cast<size_t>(::GetWindowTextLengthW(edit)) + 1);
            question->answer.resize(::GetWindowTextW(edit, question->answer.data(),
                                                     static_cast<int>(question->answer.size())));
            ::EndDialog(window, IDOK);
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            ::EndDialog(window, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

std::optional<OverwriteAnswer> ask_overwrite(HWND owner, const std::wstring& path) {
    OverwriteQuestion question{&path};
    switch (::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OVERWRITE), owner,
                              overwrite_procedure, reinterpret_cast<LPARAM>(&question))) {
    case IDC_OVERWRITE_YES: return OverwriteAnswer::overwrite;
    case IDC_OVERWRITE_NO: return OverwriteAnswer::skip;
    case IDC_OVERWRITE_ALL: return OverwriteAnswer::overwrite_all;
    case IDC_OVERWRITE_NONE: return OverwriteAnswer::skip_all;
    default: return std::nullopt;
    }
}

std::optional<std::wstring> ask_password(HWND owner, const std::wstring& path, bool retry) {
    PasswordQuestion question{&path, retry, {}};
    if (::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PASSWORD), owner, password_procedure,
                          reinterpret_cast<LPARAM>(&question)) != IDOK) {
        return std::nullopt;
    }
    return question.answer;
}

}  // namespace kzsfx::win32
