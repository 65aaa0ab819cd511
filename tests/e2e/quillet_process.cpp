// Test support: child processes, files and windows for the end-to-end tests.
#include "tests/e2e/quillet_process.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/win32_handles.h"
#include "tests/win32/box_watcher.h"

namespace quillet::e2e {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::wstring WindowsPath(const std::string& path) {
  std::wstring wide = Widen(path);
  if (!wide.empty() && wide.front() == L'/') wide = L"Z:" + wide;
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

std::wstring EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value ? WindowsPath(value) : std::wstring{};
}

std::vector<std::uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  AutoFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return bytes;
  std::uint8_t chunk[65536];
  DWORD read = 0;
  while (::ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
    bytes.insert(bytes.end(), chunk, chunk + read);
  }
  return bytes;
}

bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  AutoFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
         written == bytes.size();
}

std::optional<std::uint64_t> FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

namespace {

template <typename Visit>
void ForEachEntry(const std::wstring& folder, Visit visit) {
  WIN32_FIND_DATAW entry;
  AutoFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!search) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..")
      visit(name, (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  } while (::FindNextFileW(search.Get(), &entry));
}

void CollectTree(const std::wstring& root, const std::wstring& relative,
                 std::vector<std::pair<std::wstring, std::vector<std::uint8_t>>>& files) {
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  ForEachEntry(folder, [&](const std::wstring& name, bool isFolder) {
    const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    if (isFolder) {
      CollectTree(root, path, files);
    } else {
      files.emplace_back(path, ReadBytes(root + L"\\" + path));
    }
  });
}

}  // namespace

std::vector<std::pair<std::wstring, std::vector<std::uint8_t>>> ReadTree(const std::wstring& root) {
  std::vector<std::pair<std::wstring, std::vector<std::uint8_t>>> files;
  CollectTree(root, L"", files);
  std::sort(files.begin(), files.end());
  return files;
}

std::vector<std::wstring> FileNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  ForEachEntry(folder, [&](const std::wstring& name, bool) { names.push_back(name); });
  std::sort(names.begin(), names.end());
  return names;
}

void RemoveTree(const std::wstring& folder) {
  ForEachEntry(folder, [&](const std::wstring& name, bool isFolder) {
    const std::wstring path = folder + L"\\" + name;
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (isFolder) {
      RemoveTree(path);
    } else {
      ::DeleteFileW(path.c_str());
    }
  });
  ::RemoveDirectoryW(folder.c_str());
}

std::wstring MakeScratchFolder(const std::wstring& tag) {
  std::wstring folder = EnvironmentPath("E2E_ARTIFACTS") + L"\\scratch-" + tag;
  RemoveTree(folder);
  ::CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

namespace {

// The current environment with TMP and TEMP pointing at the given folder.
std::wstring EnvironmentWithTemp(const std::wstring& tempFolder) {
  std::wstring block;
  const wchar_t* current = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = current; *entry; entry += std::wcslen(entry) + 1) {
    const std::wstring variable = entry;
    if (_wcsnicmp(entry, L"TMP=", 4) == 0 || _wcsnicmp(entry, L"TEMP=", 5) == 0) continue;
    block += variable;
    block.push_back(L'\0');
  }
  ::FreeEnvironmentStringsW(const_cast<wchar_t*>(current));
  for (const wchar_t* name : {L"TMP=", L"TEMP="}) {
    block += name + tempFolder;
    block.push_back(L'\0');
  }
  block.push_back(L'\0');
  return block;
}

}  // namespace

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::wstring& tempFolder,
                           const std::wstring& outputFile) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  AutoFile output;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output.Reset(::CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdOutput = output.Get();
    startup.hStdError = output.Get();
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  }
  std::wstring line = commandLine;
  std::wstring environment = tempFolder.empty() ? std::wstring{} : EnvironmentWithTemp(tempFolder);
  PROCESS_INFORMATION info{};
  if (::CreateProcessW(
          nullptr, line.data(), nullptr, nullptr, output.Valid(), CREATE_UNICODE_ENVIRONMENT,
          environment.empty() ? nullptr : environment.data(), nullptr, &startup, &info)) {
    process_.Reset(info.hProcess);
    ::CloseHandle(info.hThread);
    id_ = info.dwProcessId;
  }
}

ChildProcess::~ChildProcess() {
  if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.Get(), 99);
    ::WaitForSingleObject(process_.Get(), 5000);
  }
}

std::optional<DWORD> ChildProcess::WaitForExit(DWORD timeoutMs) {
  if (!process_ || ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  return code;
}

std::string WindowTitle(HWND window) {
  char title[512] = {};
  ::GetWindowTextA(window, title, sizeof title);
  return title;
}

namespace {

struct WindowSearch {
  DWORD processId;
  bool dialog;
  HWND found = nullptr;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !::IsWindowVisible(window)) return TRUE;
  char name[32] = {};
  ::GetClassNameA(window, name, sizeof name);
  if ((std::string(name) == "#32770") != search->dialog) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

std::optional<WindowSeen> FindMainWindow(DWORD processId) {
  WindowSearch search{processId, false};
  ::EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
  if (!search.found) return std::nullopt;
  return WindowSeen{search.found, WindowTitle(search.found)};
}

HWND FindMessageBox(DWORD processId) {
  WindowSearch search{processId, true};
  ::EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (HWND box = FindMessageBox(processId)) {
      quillet::testing::WaitForBoxLoop(box);
      return box;
    }
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(20);
  }
}

std::string BoxMessage(HWND box) {
  for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    char name[16] = {};
    ::GetClassNameA(child, name, sizeof name);
    if (std::string(name) == "Static" && !WindowTitle(child).empty()) return WindowTitle(child);
  }
  return {};
}

void PressButton(HWND box, int id) { ::PostMessageA(::GetDlgItem(box, id), BM_CLICK, 0, 0); }

bool SaveScreenshot(const std::wstring& path) {
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  const int height = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* pixels = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::GdiFlush();
  const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
  BITMAPFILEHEADER header{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
  header.bfSize = header.bfOffBits + imageBytes;
  std::vector<std::uint8_t> file(header.bfSize);
  std::memcpy(file.data(), &header, sizeof header);
  std::memcpy(file.data() + sizeof header, &info.bmiHeader, sizeof info.bmiHeader);
  std::memcpy(file.data() + header.bfOffBits, pixels, imageBytes);
  ::SelectObject(memory, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return WriteBytes(path, file);
}

}  // namespace quillet::e2e
