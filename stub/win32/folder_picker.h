// The shell's folder chooser.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kzsfx::win32 {

// Lets the user pick a folder, starting at `initial` when it exists; nothing when cancelled.
// The calling thread must have COM initialised (single-threaded apartment).
std::optional<std::wstring> PickFolder(HWND owner, const std::wstring& initial);

}  // namespace kzsfx::win32
