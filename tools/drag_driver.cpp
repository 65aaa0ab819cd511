// Test driver: drops files onto a window of another process with a real OLE drag.
//   drag_driver --title TITLE [--keys none|ctrl|shift|ctrl+shift] [--effects copy,move,link]
//               [--timeout MS] PATH...
// Waits until a top-level window with exactly that title is registered as a drop target, puts
// the cursor on its client area and drags the paths there. Prints the HRESULT and the effect
// that DoDragDrop reported; exits 0 when the drag ran, 2 on bad arguments, 3 when no window
// was found in time, its client area is covered, or the drag did not end in time.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tools/file_drag.h"

namespace {

using quillet::tools::DragKeys;

struct Options {
  std::wstring title;
  DragKeys keys;
  DWORD effects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  DWORD timeoutMs = 30000;
  std::vector<std::wstring> paths;
};

std::optional<DragKeys> ParseKeys(const std::wstring& text) {
  if (text == L"none") return DragKeys{};
  if (text == L"ctrl") return DragKeys{.control = true};
  if (text == L"shift") return DragKeys{.shift = true};
  if (text == L"ctrl+shift" || text == L"shift+ctrl")
    return DragKeys{.control = true, .shift = true};
  return std::nullopt;
}

// "copy,move", "copy+link", "none".
std::optional<DWORD> ParseEffects(const std::wstring& text) {
  DWORD effects = DROPEFFECT_NONE;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find_first_of(L",+|", start);
    const std::wstring word = text.substr(start, end == std::wstring::npos ? end : end - start);
    if (word == L"copy")
      effects |= DROPEFFECT_COPY;
    else if (word == L"move")
      effects |= DROPEFFECT_MOVE;
    else if (word == L"link")
      effects |= DROPEFFECT_LINK;
    else if (word != L"none")
      return std::nullopt;
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  return effects;
}

std::optional<Options> ParseArguments(int count, wchar_t** arguments) {
  Options options;
  for (int i = 1; i < count; ++i) {
    const std::wstring argument = arguments[i];
    const bool hasValue = i + 1 < count;
    if (argument == L"--title" && hasValue) {
      options.title = arguments[++i];
    } else if (argument == L"--keys" && hasValue) {
      std::optional<DragKeys> keys = ParseKeys(arguments[++i]);
      if (!keys) return std::nullopt;
      options.keys = *keys;
    } else if (argument == L"--effects" && hasValue) {
      std::optional<DWORD> effects = ParseEffects(arguments[++i]);
      if (!effects) return std::nullopt;
      options.effects = *effects;
    } else if (argument == L"--timeout" && hasValue) {
      options.timeoutMs = static_cast<DWORD>(std::wcstoul(arguments[++i], nullptr, 10));
    } else if (argument == L"--") {
      for (++i; i < count; ++i) options.paths.emplace_back(arguments[i]);
    } else if (argument.starts_with(L"--")) {
      return std::nullopt;
    } else {
      options.paths.push_back(argument);
    }
  }
  if (options.title.empty()) return std::nullopt;
  return options;
}

struct Search {
  const std::wstring* title;
  HWND found;
};

BOOL CALLBACK MatchTitle(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  const int length = ::GetWindowTextLengthW(window);
  std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
  title.resize(static_cast<std::size_t>(::GetWindowTextW(window, title.data(), length + 1)));
  // Visible is not enough: the window counts once RegisterDragDrop has marked it.
  if (title == *search->title && ::GetPropW(window, L"OleDropTargetInterface")) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForDropWindow(const std::wstring& title, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    Search search{&title, nullptr};
    ::EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    if (::GetTickCount64() >= deadline) return nullptr;
    ::Sleep(50);
  }
}

const char* EffectName(DWORD effect) {
  switch (effect) {
    case DROPEFFECT_NONE:
      return "none";
    case DROPEFFECT_COPY:
      return "copy";
    case DROPEFFECT_MOVE:
      return "move";
    case DROPEFFECT_LINK:
      return "link";
    default:
      return "mixed";
  }
}

const char* ResultName(HRESULT result) {
  switch (result) {
    case DRAGDROP_S_DROP:
      return "DRAGDROP_S_DROP";
    case DRAGDROP_S_CANCEL:
      return "DRAGDROP_S_CANCEL";
    case E_FAIL:
      return "E_FAIL";
    case E_UNEXPECTED:
      return "E_UNEXPECTED";
    case E_OUTOFMEMORY:
      return "E_OUTOFMEMORY";
    default:
      return "other";
  }
}

}  // namespace

int main() {
  int count = 0;
  wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::optional<Options> options = arguments ? ParseArguments(count, arguments) : std::nullopt;
  if (arguments) ::LocalFree(arguments);
  if (!options) {
    std::fputs(
        "usage: drag_driver --title TITLE [--keys none|ctrl|shift|ctrl+shift] "
        "[--effects copy,move,link] [--timeout MS] PATH...\n",
        stderr);
    return 2;
  }

  ::OleInitialize(nullptr);
  HWND window = WaitForDropWindow(options->title, options->timeoutMs);
  if (!window) {
    std::fputs("drag_driver: no registered drop window with that title\n", stderr);
    return 3;
  }
  std::optional<POINT> point = quillet::tools::FindDropPoint(window);
  if (!point) {
    // Another window may be in front: ask once for ours to come forward, then try again.
    ::SetForegroundWindow(window);
    ::Sleep(200);
    point = quillet::tools::FindDropPoint(window);
  }
  if (!point) {
    std::fputs("drag_driver: the window is covered by other windows\n", stderr);
    return 3;
  }
  ::SetCursorPos(point->x, point->y);

  // A target that never returns from Drop (an unanswered message box) must not hang callers.
  std::thread([timeout = options->timeoutMs] {
    ::Sleep(timeout);
    std::fputs("drag_driver: the drag did not end in time\n", stderr);
    std::fflush(stderr);
    ::ExitProcess(3);
  }).detach();

  const quillet::tools::DragResult drag =
      quillet::tools::DragFiles(options->paths, options->effects, options->keys);
  std::printf("hr=0x%08lX %s effect=%lu %s\n", static_cast<unsigned long>(drag.result),
              ResultName(drag.result), static_cast<unsigned long>(drag.effect),
              EffectName(drag.effect));
  std::fflush(stdout);
  ::OleUninitialize();
  return 0;
}
