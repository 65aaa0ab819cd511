// The stub's one place that calls MultiByteToWideChar and WideCharToMultiByte.
#include "stub/win32/text.h"

#include <windows.h>

namespace kzsfx::win32 {
namespace {

// An empty result both for empty input and for input the code page rejects.
std::wstring ToWide(UINT codePage, DWORD flags, std::string_view bytes) {
  if (bytes.empty()) return {};
  const int size = ::MultiByteToWideChar(codePage, flags, bytes.data(),
                                         static_cast<int>(bytes.size()), nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), text.data(),
                        size);
  return text;
}

std::string ToBytes(UINT codePage, std::wstring_view text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(CP_UTF8, 0, utf8); }

std::string Narrow(std::wstring_view text) { return ToBytes(CP_UTF8, text); }

std::optional<std::wstring> WidenAnsi(std::string_view ansi) {
  if (ansi.empty()) return std::wstring();
  std::wstring text = ToWide(CP_ACP, MB_ERR_INVALID_CHARS, ansi);
  if (text.empty()) return std::nullopt;
  return text;
}

std::optional<std::string> NarrowAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  std::string bytes = ToBytes(CP_ACP, text);
  if (bytes.empty()) return std::nullopt;
  return bytes;
}

std::size_t NarrowInto(const wchar_t* text, char* buffer, std::size_t size) noexcept {
  const int written =
      ::WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, static_cast<int>(size), nullptr, nullptr);
  return written > 1 ? static_cast<std::size_t>(written - 1) : 0;
}

}  // namespace kzsfx::win32
