// Process launch over CreateProcessA with the program's 1-to-6 show-mode scale.
#include "ui/process.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace quillet {

namespace {

WORD ShowValue(std::optional<std::int32_t> showMode) {
  static constexpr WORD kShowValues[] = {SW_HIDE,          SW_SHOWNORMAL,     SW_SHOWMINIMIZED,
                                         SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE, SW_MINIMIZE};
  const std::int32_t mode = std::clamp(showMode.value_or(2), 1, 6);
  return kShowValues[mode - 1];
}

AutoHandle Launch(TextView commandLine, std::optional<std::int32_t> showMode) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = ShowValue(showMode);
  // CreateProcessA may write into the command line, so it gets a private copy.
  const std::string_view text = commandLine.view();
  std::vector<char> writable(text.begin(), text.end());
  writable.push_back('\0');
  PROCESS_INFORMATION started = {};
  if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
    return AutoHandle();
  }
  AutoHandle thread(started.hThread);  // closed first, as it is of no further use
  return AutoHandle(started.hProcess);
}

}  // namespace

AutoHandle StartCommand(TextView commandLine, std::optional<std::int32_t> showMode) {
  AutoHandle process = Launch(commandLine, showMode);
  // The outcome does not matter: a console program, for one, never becomes "idle".
  if (process) ::WaitForInputIdle(process.Get(), 1000);
  return process;
}

bool RunCommand(TextView commandLine, bool wait, std::optional<std::int32_t> showMode) {
  if (!wait) return StartCommand(commandLine, showMode).Valid();
  const AutoHandle process = Launch(commandLine, showMode);
  if (!process) return false;
  ::WaitForSingleObject(process.Get(), INFINITE);
  return true;
}

}  // namespace quillet
