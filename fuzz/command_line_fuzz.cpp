// Fuzzes the stub's command line: the split as the C runtime does it, checked against quoting
// it back, and the reading of the switches, over any UTF-16 text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "stub/win32/command_line.h"

namespace {

// An argument quoted so that the runtime's split gives it back unchanged: backslashes double
// only before a quote, quotes are escaped.
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring line;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    line += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));

  const std::vector<std::wstring> arguments = kzsfx::win32::SplitCommandLine(line);
  if (arguments.empty()) std::abort();
  // The program name has no escapes, so it never holds a quote; every argument, quoted back
  // and joined, splits into the same list.
  if (arguments[0].find(L'"') != std::wstring::npos) std::abort();
  std::wstring again = L"\"" + arguments[0] + L"\"";
  for (std::size_t i = 1; i < arguments.size(); ++i) again += L" " + quoted(arguments[i]);
  if (kzsfx::win32::SplitCommandLine(again) != arguments) std::abort();

  const kzsfx::win32::ParsedCommandLine parsed = kzsfx::win32::ParseCommandLine(line);
  // Either a reading or a reason for the user, never both or neither.
  if (parsed.value.has_value() == !parsed.error.empty()) std::abort();
  if (parsed.value) {
    const auto& value = *parsed.value;
    if (value.outputDir && value.outputDir->empty()) std::abort();
    if (value.password && value.password->empty()) std::abort();
  }
  return 0;
}
