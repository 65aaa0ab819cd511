// The frame's start-up: the fatal report, OLE, the program's folder, the hidden owner window,
// the handler bindings, and the start window built from its design with events held back.
#include "ui/frame_startup.h"

#include <ole2.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "base/fatal.h"
#include "base/path.h"
#include "base/user_texts.h"
#include "ui/design_check.h"
#include "ui/drop_target_unit.h"
#include "ui/frame_fatal.h"
#include "ui/frame_state.h"
#include "ui/label.h"
#include "ui/window_class.h"

namespace quillet {
namespace {

constexpr WindowClass kOwnerClass{"QuilletFrameOwner", 0, true};

void EnterProgramFolder() {
  FrameState& state = State();
  std::vector<char> path(MAX_PATH);
  DWORD length = 0;
  for (;;) {
    length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return;
    if (length < path.size()) break;
    path.resize(path.size() * 2);  // cut short: a longer path must not be split in the wrong place
  }
  PathParts parts = SplitPath(Text(std::string_view(path.data(), length)));
  state.programFolder = std::move(parts.folder);
  state.programFileName = std::move(parts.fileName);
  const Text target = EnterableFolder(state.programFolder);
  if (!target.empty()) ::SetCurrentDirectoryA(target.c_str());
}

bool CreateHiddenOwner() {
  FrameState& state = State();
  if (!state.hiddenOwner && RegisterWindowClass(kOwnerClass, ::DefWindowProcA)) {
    state.hiddenOwner.Reset(::CreateWindowExA(WS_EX_TOOLWINDOW, kOwnerClass.name, "", 0, 0, 0, 0, 0,
                                              nullptr, nullptr, ::GetModuleHandleA(nullptr),
                                              nullptr));
  }
  return static_cast<bool>(state.hiddenOwner);
}

void BindHandlers(std::span<const NamedHandler> routines) {
  FrameState& state = State();
  state.bindings.clear();
  for (const WindowDesign& design : state.designs) {
    for (const UnitDesign& unit : design.units) {
      for (const EventBinding& binding : unit.events) {
        if (!binding.handler) continue;
        for (const NamedHandler& named : routines) {
          if (named.name && named.routine && std::strcmp(named.name, binding.handler) == 0) {
            state.bindings.push_back({design.id, unit.id, binding.event, named.routine});
            break;
          }
        }
      }
    }
  }
}

// Dispatches what is already queued; a quit message stays queued.
void DispatchWaitingMessages() {
  MSG message;
  while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

std::unique_ptr<Unit> CreateUnit(WindowId window, const UnitDesign& design, HWND parent) {
  if (std::holds_alternative<LabelProperties>(design.properties)) {
    return CreateLabel(window, design, parent);
  }
  if (std::holds_alternative<DropTargetProperties>(design.properties)) {
    return CreateDropTarget(window, design, parent);
  }
  return nullptr;  // a window inside a window is no unit type of ours
}

[[noreturn]] void FailLoad(WindowId window) {
  FrameState& state = State();
  // What was built goes (suppressed), so nothing half-made stays on screen behind the report.
  auto found = std::find_if(state.live.begin(), state.live.end(),
                            [window](const auto& live) { return live->design->id == window; });
  if (found != state.live.end()) {
    std::unique_ptr<LiveWindow> failed = std::move(*found);
    state.live.erase(found);
    failed->units.clear();
    failed->window.reset();
  }
  ReportFatalError(kStartWindowNotLoaded, 0);
}

bool BuildWindow(LiveWindow& live, HWND owner) {
  const WindowDesign& design = *live.design;
  live.window = MainWindow::Create(design.id, design.units[0], owner);
  if (!live.window || !::IsWindow(live.window->hwnd())) return false;
  HWND parent = live.window->hwnd();
  // The last stored unit first.
  for (std::size_t i = design.units.size() - 1; i >= 1; --i) {
    std::unique_ptr<Unit> unit = CreateUnit(design.id, design.units[i], parent);
    if (!unit) return false;
    live.units.push_back(std::move(unit));
  }
  for (const auto& unit : live.units) {
    if (HWND hwnd = unit->hwnd()) {
      ::ShowWindow(hwnd, unit->design().visible ? SW_SHOWNA : SW_HIDE);
    }
  }
  return true;
}

}  // namespace

void StartFrame(std::span<const NamedHandler> routines, std::span<const WindowDesign> designs) {
  FrameState& state = State();
  SetFatalErrorReporter(EndAfterFatalError);
  if (!state.oleStarted) {
    ::OleInitialize(nullptr);  // the result is not examined: a failure shows as no drop target
    state.oleStarted = true;
  }
  EnterProgramFolder();
  CreateHiddenOwner();
  state.userInterfaceThread = ::GetCurrentThreadId();
  if (!DesignsHoldTogether(designs)) ReportFatalError(kDesignDataDamaged, 0);
  state.designs = designs;
  BindHandlers(routines);
}

void LoadStartWindow(WindowId window) {
  FrameState& state = State();
  const WindowDesign* design = FindWindowDesign(window);
  if (!design) ReportFatalError(kStartWindowNotLoaded, 0);
  if (IsLive(window)) {
    HWND hwnd = FindLive(window)->window->hwnd();
    if (::IsIconic(hwnd)) {
      ::ShowWindow(hwnd, SW_RESTORE);
    } else {
      ::SetForegroundWindow(hwnd);
    }
    return;
  }

  DispatchWaitingMessages();
  ++state.eventSuppression;
  state.live.push_back(std::make_unique<LiveWindow>());
  state.live.back()->design = design;
  const auto& properties = std::get<WindowProperties>(design->units[0].properties);
  HWND owner = properties.showInTaskbar ? nullptr : state.hiddenOwner.Get();
  if (!BuildWindow(*state.live.back(), owner)) FailLoad(window);
  DispatchWaitingMessages();  // moves and sizes made while building reach no handler
  LowerSuppression();

  EventRecord created{.window = window, .unit = std::nullopt, .event = kCreated, .arguments = {}};
  RaiseEvent(created);
  for (EventNumber event : {kPositionChanged, kSizeChanged}) {
    if (!IsLive(window)) return;
    EventRecord record{.window = window, .unit = std::nullopt, .event = event, .arguments = {}};
    RaiseEvent(record);
  }
  if (!IsLive(window)) return;
  LiveWindow& live = *FindLive(window);
  if (design->units[0].visible) ::ShowWindow(live.window->hwnd(), SW_SHOW);
  // Labels and the drop target have no final set-up step that could take the focus.
  live.loaded = true;
}

TextView ProgramFolder() { return State().programFolder; }

}  // namespace quillet
