// Asking dragged data which kinds it offers and reading each kind as one text.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <optional>

#include "base/text.h"
#include "ui/drop_settings.h"

namespace quillet {

// The two registered clipboard formats the drop target reads besides CF_TEXT and CF_HDROP.
struct DropFormats {
  CLIPFORMAT html = 0;  // "HTML Format"
  CLIPFORMAT url = 0;   // "UniformResourceLocator"

  static DropFormats Register();
  CLIPFORMAT Of(DropKind kind) const;
};

// Whether the data answers S_OK to QueryGetData for the kind's format in global memory.
bool OffersKind(IDataObject& data, DropKind kind, const DropFormats& formats);

// The kind's text, read and copied with every medium already released; nothing when the data
// cannot give it. A file list without entries reads as the empty text, which still counts.
std::optional<Text> ReadDroppedKind(IDataObject& data, DropKind kind, const DropFormats& formats);

}  // namespace quillet
