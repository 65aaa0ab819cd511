// The drop effect offered for a drag: from whether the data is acceptable and the keys held.
#pragma once

#include <windows.h>

namespace quillet {

// Writes the chosen effect over `effect` (on entry the effects the source allows) and returns
// whether it is other than DROPEFFECT_NONE. Only MK_CONTROL and MK_SHIFT in the key state count.
bool ChooseDropEffect(bool dataAcceptable, DWORD keyState, DWORD& effect);

}  // namespace quillet
