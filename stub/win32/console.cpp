// Standard output and error for a GUI program.
#include "stub/win32/console.h"

#include <string>

#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

Console::Console()
    : out_(::GetStdHandle(STD_OUTPUT_HANDLE)), err_(::GetStdHandle(STD_ERROR_HANDLE)) {
  if (Usable(out_) && Usable(err_)) return;
  // Started from a command prompt without redirection: a GUI program has no console of its
  // own, so borrow the parent's when there is one.
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
  console_.Reset(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr));
  if (!console_) return;
  if (!Usable(out_)) out_ = console_.Get();
  if (!Usable(err_)) err_ = console_.Get();
}

bool Console::Present() const { return Usable(out_) || Usable(err_); }

void Console::Write(HANDLE handle, std::wstring_view text) {
  if (!Usable(handle) || text.empty()) return;
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode)) {
    DWORD written = 0;
    ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = Narrow(text);
  if (bytes.empty()) return;
  DWORD written = 0;
  ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace kzsfx::win32
