// The questions asked in the middle of an extraction: replace a file, give a password.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "stub/core/observer.h"

namespace kzsfx::win32 {

// Nothing when the user cancels the whole extraction.
std::optional<OverwriteAnswer> AskOverwrite(HWND owner, const std::wstring& path);

// Nothing when the user gives up on the password.
std::optional<std::wstring> AskPassword(HWND owner, const std::wstring& path, bool retry);

}  // namespace kzsfx::win32
