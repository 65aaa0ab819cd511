// Names looked up in a folder we hold open rather than along a path: the NT calls for what
// Win32 can only do by path. Whatever happens to the folder's path meanwhile (renamed, replaced
// by a junction), the lookup stays in the folder that was opened and checked.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "stub/win32/handles.h"

namespace kzsfx::win32 {

// NtCreateFile on `name` (one component, or "name:stream") inside `folder`. `disposition` and
// `options` are NtCreateFile's (FILE_CREATE, FILE_DIRECTORY_FILE...); synchronous I/O is
// added. On failure the handle is empty and the thread's last error is set.
AutoFile OpenIn(HANDLE folder, std::wstring_view name, ACCESS_MASK access, ULONG share,
                ULONG disposition, ULONG options);

// Renames the open `file` to `name` inside `folder`; false with the last error set on failure.
bool RenameIn(HANDLE file, HANDLE folder, std::wstring_view name, bool replaceExisting);

// Where the handle's file really is, from the root of its volume ("\a\b"): links resolved.
// Empty when it cannot be told.
std::wstring FinalPath(HANDLE handle);

}  // namespace kzsfx::win32
