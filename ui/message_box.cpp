// Modal message boxes over MessageBoxA: the caption default, forced modality, small results.
#include "ui/message_box.h"

#include <windows.h>

#include "base/user_texts.h"

namespace quillet {

namespace {

std::int32_t ResultNumber(int platformResult) {
  switch (platformResult) {
    case IDOK:
      return 0;
    case IDCANCEL:
      return 1;
    case IDABORT:
      return 2;
    case IDRETRY:
      return 3;
    case IDIGNORE:
      return 4;
    case IDYES:
      return 5;
    case IDNO:
      return 6;
    default:
      return 0;
  }
}

}  // namespace

std::int32_t ShowMessageBox(TextView message, std::int32_t flags, std::optional<TextView> caption,
                            void* owner) {
  auto style = static_cast<UINT>(flags);
  // Without an owner, task modality is what disables the program's other windows.
  if (!(style & MB_SYSTEMMODAL)) style |= MB_TASKMODAL;
  // An empty text is the absent text, so an empty caption gets the default too.
  const char* title = caption && !caption->empty() ? caption->c_str() : kDefaultCaption;
  const int result = ::MessageBoxA(static_cast<HWND>(owner), message.c_str(), title, style);
  // Nobody answered a box that could not be shown (Windows reports 0, Wine -1): that must
  // never read as OK.
  if (result <= 0) return kMessageBoxNotShown;
  // An OK-only box has one answer. Windows reports Esc and the close box there as IDOK,
  // Wine as IDCANCEL; both mean the user saw the message.
  if ((style & MB_TYPEMASK) == MB_OK) return 0;
  return ResultNumber(result);
}

}  // namespace quillet
