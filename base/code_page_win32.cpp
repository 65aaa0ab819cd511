// The ANSI code page's lead bytes and conversion to the OEM code page, from Windows.
#include <windows.h>

#include <climits>
#include <string>

#include "base/code_page.h"

namespace quillet {

LeadBytes AnsiLeadBytes() {
  LeadBytes leadBytes;
  for (std::size_t byte = 0x80; byte < 0x100; ++byte) {
    if (::IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(byte))) leadBytes.set(byte);
  }
  return leadBytes;
}

std::optional<ByteBuffer> AnsiToOem(TextView text) {
  if (text.empty()) return ByteBuffer();
  const int length = text.size();
  if (length > INT_MAX / 4) return std::nullopt;
  const int wideLength =
      ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.c_str(), length, nullptr, 0);
  if (wideLength <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.c_str(), length, wide.data(),
                        wideLength);
  // No best fit: an "é" the OEM code page lacks must not turn into a plain "e" naming another
  // file. What comes back must read as the very same characters.
  BOOL usedDefault = FALSE;
  const int oemLength = ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(),
                                              wideLength, nullptr, 0, nullptr, &usedDefault);
  if (oemLength <= 0 || usedDefault) return std::nullopt;
  std::string oem(static_cast<std::size_t>(oemLength), '\0');
  ::WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, oem.data(),
                        oemLength, nullptr, &usedDefault);
  if (usedDefault) return std::nullopt;
  const int backLength =
      ::MultiByteToWideChar(CP_OEMCP, MB_ERR_INVALID_CHARS, oem.data(), oemLength, nullptr, 0);
  std::wstring back(static_cast<std::size_t>(backLength > 0 ? backLength : 0), L'\0');
  if (backLength > 0) {
    ::MultiByteToWideChar(CP_OEMCP, MB_ERR_INVALID_CHARS, oem.data(), oemLength, back.data(),
                          backLength);
  }
  if (back != wide) return std::nullopt;
  return ByteBuffer(ByteView(reinterpret_cast<const std::uint8_t*>(oem.data()), oem.size()));
}

}  // namespace quillet
