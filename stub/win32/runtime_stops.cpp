// What the C++ runtime does in the stub when it cannot go on. The stub is built without
// exceptions: running out of memory or breaking a library precondition ends the process with
// our exit codes instead of throwing, so the runtime's throw machinery and unwinder stay out.
// These definitions must be objects of the program itself to take precedence over the runtime's.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "stub/core/results.h"
#include "stub/win32/messages.h"
#include "stub/win32/runtime_stops.h"
#include "stub/win32/text.h"

namespace {

bool message_box = false;

void WriteError(HANDLE err, const wchar_t* text) noexcept {
  DWORD written = 0;
  DWORD mode = 0;
  if (::GetConsoleMode(err, &mode)) {
    ::WriteConsoleW(err, text, static_cast<DWORD>(::lstrlenW(text)), &written, nullptr);
    return;
  }
  char bytes[128];
  const std::size_t size = kzsfx::win32::NarrowInto(text, bytes, sizeof bytes);
  if (size > 0) ::WriteFile(err, bytes, static_cast<DWORD>(size), &written, nullptr);
}

// Says why on standard error when a script redirected it, and in a message box with the
// dialog, then ends the process. Allocates nothing itself: it also runs when memory is gone.
[[noreturn]] void Stop(kzsfx::ExitCode code, const wchar_t* why) noexcept {
  if (message_box)
    ::MessageBoxW(nullptr, why, kzsfx::win32::kProgramTitle, MB_OK | MB_ICONERROR | MB_TASKMODAL);
  const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) {
    WriteError(err, kzsfx::win32::kErrorPrefix);
    WriteError(err, why);
    WriteError(err, L"\r\n");
  }
  ::ExitProcess(static_cast<UINT>(code));
}

[[noreturn]] void OutOfMemory() noexcept {
  Stop(kzsfx::ExitCode::kOutOfMemory, kzsfx::win32::kOutOfMemory);
}
[[noreturn]] void Broken() noexcept { Stop(kzsfx::ExitCode::kFatal, kzsfx::win32::kInternalError); }

void* Allocate(std::size_t size) noexcept { return std::malloc(size != 0 ? size : 1); }

}  // namespace

void kzsfx::win32::ReportStopsInMessageBox(bool show) { message_box = show; }
void kzsfx::win32::StopOutOfMemory() noexcept { OutOfMemory(); }

void* operator new(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  OutOfMemory();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
// The runtime's nothrow forms call the throwing ones inside a try block; these only ask.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }

// The runtime's default handler prints the exception's demangled type name to stderr, which
// links the C++ demangler (40 KB) into a GUI program with nowhere to print it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { Broken(); }
}  // namespace __gnu_cxx

// What the standard library's headers call where they would throw, for every facility the stub
// uses: the runtime's own definitions construct exception objects from strings and would bring
// the string instantiations, the throw machinery and the unwinder with them.
namespace std {
void __throw_bad_alloc() { OutOfMemory(); }
void __throw_bad_array_new_length() { OutOfMemory(); }
// A string or vector asked to outgrow max_size(): a request no memory could satisfy.
void __throw_length_error(const char*) { OutOfMemory(); }
void __throw_bad_exception() { Broken(); }
void __throw_bad_cast() { Broken(); }
void __throw_bad_typeid() { Broken(); }
void __throw_bad_function_call() { Broken(); }
void __throw_logic_error(const char*) { Broken(); }
void __throw_domain_error(const char*) { Broken(); }
void __throw_invalid_argument(const char*) { Broken(); }
void __throw_out_of_range(const char*) { Broken(); }
void __throw_out_of_range_fmt(const char*, ...) { Broken(); }
void __throw_runtime_error(const char*) { Broken(); }
void __throw_range_error(const char*) { Broken(); }
void __throw_overflow_error(const char*) { Broken(); }
void __throw_underflow_error(const char*) { Broken(); }
}  // namespace std
