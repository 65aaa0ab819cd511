// A real OLE drag of a file list from this process: the data object hands out a fresh CF_HDROP
// block on every request, and the source drops after a few polls without any mouse button.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace quillet::tools {

// Keys the drag pretends are held, so that the target sees MK_CONTROL / MK_SHIFT.
struct DragKeys {
  bool control = false;
  bool shift = false;
};

struct DragResult {
  HRESULT result = E_FAIL;  // what DoDragDrop answered
  DWORD effect = 0;         // the effect it reported
};

// Runs DoDragDrop on the calling thread (OLE initialised) with the cursor where it is now.
// The paths travel as a wide DROPFILES list.
DragResult DragFiles(const std::vector<std::wstring>& paths, DWORD allowedEffects, DragKeys keys);

// A point in the window's client area where the window itself is on top (its centre when that
// is not covered), in screen coordinates; nothing when every probed point is covered.
std::optional<POINT> FindDropPoint(HWND window);

}  // namespace quillet::tools
