// The stored colours of a design turned into the colours a window paints with.
#include "ui/colour.h"

#include "ui/window_design.h"

namespace quillet {

COLORREF ResolveColour(std::uint32_t stored) {
  if (stored == kDefaultColour) return ::GetSysColor(COLOR_BTNFACE);
  return stored & 0x00FFFFFF;
}

}  // namespace quillet
