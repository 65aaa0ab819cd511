// The common controls (comctl32.dll), loaded by the stub itself once DLL search is restricted.
#pragma once

namespace kzsfx::win32 {

// Loads comctl32.dll, version 6 side by side as the manifest asks, and registers the classes
// the extraction dialog uses (the progress bar among them). False when the DLL or its
// InitCommonControlsEx could not be found.
bool LoadCommonControls();

}  // namespace kzsfx::win32
