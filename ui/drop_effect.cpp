// The drop effect table: Ctrl asks for a copy, Shift for a move, both for nothing.
#include "ui/drop_effect.h"

#include <ole2.h>

#include <initializer_list>

namespace quillet {

bool ChooseDropEffect(bool dataAcceptable, DWORD keyState, DWORD& effect) {
  const DWORD allowed = effect;
  const bool control = keyState & MK_CONTROL;
  const bool shift = keyState & MK_SHIFT;
  DWORD chosen = DROPEFFECT_NONE;
  if (!dataAcceptable || (control && shift)) {
    chosen = DROPEFFECT_NONE;  // Ctrl+Shift would ask for a link; this target makes none on request
  } else if (control) {
    chosen = allowed & DROPEFFECT_COPY;
  } else if (shift) {
    chosen = allowed & DROPEFFECT_MOVE;
  } else {
    for (DWORD candidate : {DROPEFFECT_COPY, DROPEFFECT_MOVE, DROPEFFECT_LINK}) {
      if (allowed & candidate) {
        chosen = candidate;
        break;
      }
    }
  }
  effect = chosen;
  return chosen != DROPEFFECT_NONE;
}

}  // namespace quillet
