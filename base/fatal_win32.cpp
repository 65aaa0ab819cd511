// The default fatal report on Windows: one error box, then ExitProcess(-1).
#include <windows.h>

#include "base/fatal_platform.h"
#include "base/fatal_text.h"
#include "base/user_texts.h"

namespace quillet::platform {

void ShowFatalError(TextView message, std::int32_t code) {
  MessageBoxA(nullptr, FatalErrorText(message, code).c_str(), kErrorCaption, MB_OK | MB_ICONERROR);
}

void EndProcessAfterFatalError() { ExitProcess(static_cast<UINT>(-1)); }

}  // namespace quillet::platform
