// Where an installer script's Path points: the known folders it may start with, as Windows
// knows them, and the whole path made absolute.
#pragma once

#include <string>

#include "stub/core/installer_script.h"

namespace kzsfx::win32 {

// The folder's path from the known-folder API (the temporary folder from GetTempPathW, which
// that API does not list), never from environment variables. Empty when it is unavailable.
std::wstring KnownFolderPath(KnownFolder folder);

// The script's Path as a folder to extract into: the known folder followed by the rest, an
// absolute path, or a path relative to `exeFolder`. Empty when it names no usable folder (a
// drive-relative or root-relative path is neither absolute nor relative to the exe).
std::wstring ScriptDestination(const ScriptPath& path, const std::wstring& exeFolder);

}  // namespace kzsfx::win32
