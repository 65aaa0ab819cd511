// Test helper: the program an installer script's Setup runs. Appends its working folder and
// its arguments, one a line in UTF-8, to the file KZSFX_PROBE_LOG names; exits with 42, so
// that a test sees whose exit code the self-extractor returned.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

}  // namespace

int main() {
  wchar_t log[MAX_PATH];
  if (::GetEnvironmentVariableW(L"KZSFX_PROBE_LOG", log, MAX_PATH) == 0) return 2;
  wchar_t folder[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  std::string text = "cwd=" + Utf8(folder) + "\n";
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  for (int i = 1; i < count; ++i) text += "arg=" + Utf8(arguments[i]) + "\n";
  ::LocalFree(arguments);
  const HANDLE file = ::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 3;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok ? 42 : 3;
}
