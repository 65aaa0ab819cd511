// Test helper: the program an installer script's Setup runs. Appends its working folder and
// its arguments, one a line in UTF-8, to the file KZSFX_PROBE_LOG names; exits with 42, so
// that a test sees whose exit code the self-extractor returned.
// `handover` makes it hand over as installers do: it starts a copy of itself and exits at once.
// The copy waits until the self-extractor has ended (10 s at most), then logs whether the
// tree's `data.bin` is still there to be read.
#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>
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

bool AppendToLog(const std::string& text) {
  wchar_t log[MAX_PATH];
  if (::GetEnvironmentVariableW(L"KZSFX_PROBE_LOG", log, MAX_PATH) == 0) return false;
  const HANDLE file = ::CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok;
}

DWORD ParentId() {
  const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
       more = ::Process32NextW(snapshot, &entry)) {
    if (entry.th32ProcessID == ::GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  }
  ::CloseHandle(snapshot);
  return parent;
}

bool StartCopy(const std::wstring& arguments) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return true;
}

// The copy: the self-extractor is its grandparent, whose id the first probe passed on.
int Handed(DWORD extractor) {
  if (const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, extractor)) {
    ::WaitForSingleObject(process, 10000);
    ::CloseHandle(process);
  }
  const bool present = ::GetFileAttributesW(L"data.bin") != INVALID_FILE_ATTRIBUTES;
  return AppendToLog(present ? "handed=data.bin present\n" : "handed=data.bin gone\n") ? 0 : 3;
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (count == 3 && std::wstring(arguments[1]) == L"handed") {
    return Handed(static_cast<DWORD>(std::wcstoul(arguments[2], nullptr, 10)));
  }
  wchar_t folder[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, folder);
  std::string text = "cwd=" + Utf8(folder) + "\n";
  for (int i = 1; i < count; ++i) text += "arg=" + Utf8(arguments[i]) + "\n";
  const bool handover = count == 2 && std::wstring(arguments[1]) == L"handover";
  ::LocalFree(arguments);
  if (!AppendToLog(text)) return 3;
  if (handover && !StartCopy(L"handed " + std::to_wstring(ParentId()))) return 4;
  return 42;
}
