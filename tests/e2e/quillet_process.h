// Test support: the real Quillet and the drag driver as child processes, with a private
// temporary folder, and the windows and message boxes they show.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/win32_handles.h"

namespace quillet::e2e {

// A Windows path for a path from the test's environment (Linux paths live on drive Z:).
std::wstring WindowsPath(const std::string& path);
std::wstring EnvironmentPath(const char* name);
std::wstring Widen(const std::string& text);

std::vector<std::uint8_t> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);
// The file's size, read without opening it.
std::optional<std::uint64_t> FileSize(const std::wstring& path);
// Every file below a folder, by relative path, with its bytes.
std::vector<std::pair<std::wstring, std::vector<std::uint8_t>>> ReadTree(const std::wstring& root);
std::vector<std::wstring> FileNames(const std::wstring& folder);
void RemoveTree(const std::wstring& folder);
std::wstring MakeScratchFolder(const std::wstring& tag);

// A started child process; ended by force if it still runs when this goes away.
class ChildProcess {
 public:
  ChildProcess(const std::wstring& commandLine, const std::wstring& tempFolder = {},
               const std::wstring& outputFile = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  DWORD id() const { return id_; }
  // The exit code, or nothing when it has not ended within the time.
  std::optional<DWORD> WaitForExit(DWORD timeoutMs);

 private:
  AutoHandle process_;
  DWORD id_ = 0;
};

struct WindowSeen {
  HWND window = nullptr;
  std::string title;
};

// The process's visible top-level window that is not a dialog, or nothing.
std::optional<WindowSeen> FindMainWindow(DWORD processId);
// A visible message box (dialog class #32770) of the process, or null.
HWND FindMessageBox(DWORD processId);
HWND WaitForMessageBox(DWORD processId, DWORD timeoutMs);
std::string BoxMessage(HWND box);
std::string WindowTitle(HWND window);
void PressButton(HWND box, int id);
// A snapshot of the screen as a 24-bit BMP file.
bool SaveScreenshot(const std::wstring& path);

}  // namespace quillet::e2e
