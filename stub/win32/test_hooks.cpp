// The test build's hooks. Folder and hold come from the environment the test starts us in:
// KZSFX_TEST_FOLDER (a Windows path) receives one line per event in events.txt, and a hold
// asked for with KZSFX_TEST_HOLD_ENTRY and KZSFX_TEST_HOLD_AT (bytes) lasts until the test
// creates the file "release" there. Without KZSFX_TEST_FOLDER the hooks do nothing.
#include "stub/win32/test_hooks.h"

#include <windows.h>

#include <cwchar>

#include "stub/win32/handles.h"
#include "stub/win32/text.h"

namespace kzsfx::win32::test_hooks {
namespace {

// A test that died leaves no stub held for ever in the shared Wine prefix.
constexpr ULONGLONG kHoldLimitMs = 180000;

std::wstring Variable(const wchar_t* name) {
  const DWORD length = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (length == 0) return {};
  std::wstring value(length, L'\0');
  value.resize(::GetEnvironmentVariableW(name, value.data(), length));
  return value;
}

const std::wstring& Folder() {
  static const std::wstring kFolder = Variable(L"KZSFX_TEST_FOLDER");
  return kFolder;
}

SRWLOCK eventsLock = SRWLOCK_INIT;

// One line, appended whole, whichever thread notes it.
void Note(const std::string& line) {
  if (Folder().empty()) return;
  ExclusiveLock lock(eventsLock);
  AutoFile events(::CreateFileW((Folder() + L"\\events.txt").c_str(), FILE_APPEND_DATA,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!events) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(events.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

void NoteCommand(int command, const char* view) {
  Note("command " + std::to_string(command) + " " + view);
}

void NoteView(const char* view) { Note(std::string("view ") + view); }

void AfterBlock(const std::string& entry, std::uint64_t done) {
  static const std::string kHoldEntry = Narrow(Variable(L"KZSFX_TEST_HOLD_ENTRY"));
  static const std::uint64_t kHoldAt =
      std::wcstoull(Variable(L"KZSFX_TEST_HOLD_AT").c_str(), nullptr, 10);
  static bool held = false;  // one engine thread reports blocks at a time
  if (Folder().empty() || held || kHoldEntry.empty() || entry != kHoldEntry || done < kHoldAt)
    return;
  held = true;
  Note("held " + entry);
  const std::wstring release = Folder() + L"\\release";
  const ULONGLONG deadline = ::GetTickCount64() + kHoldLimitMs;
  while (::GetFileAttributesW(release.c_str()) == INVALID_FILE_ATTRIBUTES &&
         ::GetTickCount64() < deadline) {
    ::Sleep(10);
  }
  Note("released " + entry);
}

}  // namespace kzsfx::win32::test_hooks
