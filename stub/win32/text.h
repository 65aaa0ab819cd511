// Text between the core's UTF-8, the UTF-16 of Windows' W calls and the ANSI code page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kzsfx::win32 {

// UTF-8 from the core to UTF-16 for the screen, and back for the core's paths.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view text);

// Bytes in the ANSI code page; nothing when they are not valid there.
std::optional<std::wstring> WidenAnsi(std::string_view ansi);
// Text in the ANSI code page; nothing when the conversion fails.
std::optional<std::string> NarrowAnsi(std::wstring_view text);

// UTF-8 of a NUL-terminated text into `buffer`, without allocating: for the paths that run
// when memory is gone. Returns the bytes written before the NUL, 0 when it does not fit.
std::size_t NarrowInto(const wchar_t* text, char* buffer, std::size_t size) noexcept;

}  // namespace kzsfx::win32
