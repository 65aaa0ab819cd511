// Start-up: the frame, the main window and everything a later drop needs.
#include "app/startup.h"

#include <array>
#include <span>

#include "app/conversion.h"
#include "app/globals.h"
#include "app/stub_payload.h"
#include "base/code_page.h"
#include "base/files.h"
#include "resources/design.h"
#include "resources/design_ids.h"
#include "ui/drop_target_unit.h"
#include "ui/frame.h"

namespace quillet {
namespace {

constexpr std::int32_t kTemporaryFolder = 11;

std::int64_t MainWindowCreated(std::span<EventArgument>) {
  OnMainWindowCreated();
  return 0;
}

std::int64_t FileReceived(std::span<EventArgument> arguments) {
  static Text none;
  OnFileReceived(arguments.empty() || !arguments[0].text ? none : *arguments[0].text);
  return 0;
}

// The stored design names its handlers; these are the routines behind the names.
constexpr std::array kHandlers{
    NamedHandler{"OnMainWindowCreated", &MainWindowCreated},
    NamedHandler{"OnFileReceived", &FileReceived},
};

}  // namespace

int StartProgram() {
  // Names are searched character by character as the system's ANSI code page splits them.
  UseLeadBytes(AnsiLeadBytes());
  StartFrame(kHandlers, StoredWindowDesigns());
  // The globals start empty as static objects; nothing else to prepare.
  RegisterExitRoutine(&ReleaseGlobals);
  LoadStartWindow(kMainWindow);
  RunMessageLoop();
  return 0;
}

std::span<const NamedHandler> StartupHandlers() { return kHandlers; }

void OnMainWindowCreated() {
  SetWindowTitle(kMainWindow, kMainWindowTitle);
  RegisterDropWindow(kMainWindow, kDropTargetUnit, GetWindowHandle(kMainWindow, kMainWindowUnit));
  TempFolder = GetSpecialFolder(kTemporaryFolder);
  // Made anew, so that a link planted under the name in a shared folder carries no write
  // elsewhere. The result is not examined: each conversion checks the stub again.
  WriteNewFileBytes(ConcatText({TempFolder, "kzsfx.tmp~1"}), {StubPayload()});
}

}  // namespace quillet
