// The frame's fatal report: from the first moment no handler runs, the error box is shown, and
// the frame stops without running the exit routines before the process ends.
#include "ui/frame_fatal.h"

#include <windows.h>

#include "base/fatal_text.h"
#include "base/user_texts.h"
#include "ui/frame_loop.h"
#include "ui/frame_state.h"

namespace quillet {

void EndAfterFatalError(TextView message, std::int32_t code) {
  FrameState& state = State();
  ++state.eventSuppression;  // from here on no handler runs, not even while the box is open
  state.reportingFatalError = true;
  const FatalText text = FatalErrorText(message, code);
  ::MessageBoxA(nullptr, text.c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
  ShutDownFrameAfterFatalError();
  ::ExitProcess(static_cast<UINT>(-1));
}

}  // namespace quillet
