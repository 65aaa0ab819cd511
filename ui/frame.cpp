// The application frame: start-up, the start window built from its design, event routing with
// suppression, the message loop, exit routines, and the orderly and the fatal shutdown.
#include "ui/frame.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "base/fatal.h"
#include "base/fatal_text.h"
#include "base/win32_handles.h"
#include "ui/main_window.h"
#include "ui/unit.h"
#include "ui/window_class.h"

namespace quillet {
namespace {

constexpr WindowClass kOwnerClass{"QuilletFrameOwner", 0, true};

struct BoundEvent {
  WindowId window;
  UnitId unit;
  EventNumber event;
  EventHandler routine;
};

// A window built from its design: the window unit and the other units.
struct LiveWindow {
  const WindowDesign* design = nullptr;
  std::unique_ptr<MainWindow> window;
  std::vector<std::unique_ptr<Unit>> units;
  bool loaded = false;
};

struct FrameState {
  std::span<const WindowDesign> designs;
  std::vector<BoundEvent> bindings;
  std::vector<std::unique_ptr<LiveWindow>> live;
  // Units and windows whose native windows are gone; freed when no window procedure of
  // theirs can still be on the stack (idle time, orderly shutdown).
  std::vector<std::unique_ptr<Unit>> retiredUnits;
  std::vector<std::unique_ptr<LiveWindow>> retiredWindows;
  std::vector<ExitRoutine> exitRoutines;
  std::int32_t eventSuppression = 0;
  bool messageLoopStarted = false;
  bool shutdownStarted = false;
  bool reportingFatalError = false;
  bool oleStarted = false;
  DWORD userInterfaceThread = 0;
  Text programFolder;
  Text programFileName;
  AutoWindow hiddenOwner;
  std::int32_t quitCode = 0;
};

FrameState& State() {
  static FrameState state;
  return state;
}

void LowerSuppression() {
  FrameState& state = State();
  if (state.eventSuppression > 0) --state.eventSuppression;
}

void ReleaseRetired() {
  FrameState& state = State();
  state.retiredUnits.clear();
  state.retiredWindows.clear();
}

LiveWindow* FindLive(WindowId window) {
  for (auto& live : State().live) {
    if (live->design->id == window) return live.get();
  }
  return nullptr;
}

bool IsLive(WindowId window) {
  const LiveWindow* live = FindLive(window);
  return live && live->window && ::IsWindow(live->window->hwnd());
}

const UnitDesign* FindUnitDesign(const WindowDesign& design, UnitId unit) {
  for (const UnitDesign& candidate : design.units) {
    if (candidate.id == unit) return &candidate;
  }
  return nullptr;
}

// ---- Start-up ---------------------------------------------------------------------------

[[noreturn]] void EndAfterFatalError(TextView message, std::int32_t code);

void FrameFatalErrorReporter(TextView message, std::int32_t code) {
  EndAfterFatalError(message, code);
}

// The executable's folder made current: split at the last backslash, stepping over
// double-byte characters whole so that a trail byte 0x5C is never taken for one.
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
  const Text full(std::string_view(path.data(), length));
  const std::int32_t slash = FindLastText(full, "\\", std::nullopt, false);
  if (slash < 0) {
    state.programFolder = Text();
    state.programFileName = full;
    return;
  }
  state.programFolder = LeftText(full, slash - 1);
  state.programFileName = MidText(full, slash + 1, full.size());
  // "C:" alone would name the drive's current folder, not its root.
  const std::string_view folder = state.programFolder.view();
  const Text target = !folder.empty() && folder.back() == ':'
                          ? ConcatText({state.programFolder, "\\"})
                          : state.programFolder;
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

// A design holds together when every window has its own id and its window unit first, and no
// unit id appears twice within a window.
bool DesignsHoldTogether(std::span<const WindowDesign> designs) {
  for (std::size_t w = 0; w < designs.size(); ++w) {
    const WindowDesign& design = designs[w];
    if (design.units.empty()) return false;
    for (std::size_t other = 0; other < w; ++other) {
      if (designs[other].id == design.id) return false;
    }
    for (std::size_t u = 0; u < design.units.size(); ++u) {
      const UnitDesign& unit = design.units[u];
      const bool isWindow = std::holds_alternative<WindowProperties>(unit.properties);
      if (isWindow != (u == 0)) return false;
      for (std::size_t other = 0; other < u; ++other) {
        if (design.units[other].id == unit.id) return false;
      }
    }
  }
  return true;
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

// ---- Building a window ------------------------------------------------------------------

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
  ReportFatalError("载入启动窗口失败", 0);
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

// ---- Shutdown ---------------------------------------------------------------------------

void ShutDown(std::int32_t exitCode, bool fatal) {
  FrameState& state = State();
  ++state.eventSuppression;
  if (state.userInterfaceThread != 0 && ::GetCurrentThreadId() != state.userInterfaceThread) {
    // No other thread of ours ever shuts down; if one did, it ends the process outright.
    if (!state.shutdownStarted) ::ExitProcess(static_cast<UINT>(exitCode));
    return;
  }
  state.shutdownStarted = true;
  state.bindings.clear();
  if (!fatal) {
    // A window still open (an entry routine that returned without a loop) goes now, while
    // the frame can still hear from its units, and before OLE stops under its drop target.
    std::vector<std::unique_ptr<LiveWindow>> remaining = std::move(state.live);
    state.live.clear();
    remaining.clear();
  }
  state.designs = {};
  // Each routine once: the list is taken before any of them runs.
  std::vector<ExitRoutine> routines = std::move(state.exitRoutines);
  state.exitRoutines.clear();
  for (ExitRoutine routine : routines) routine();
  // After a fatal error a window procedure may still be on the stack: nothing is freed.
  if (!fatal) ReleaseRetired();
  state.hiddenOwner.Reset();
  if (state.oleStarted) {
    state.oleStarted = false;
    ::OleUninitialize();
  }
}

[[noreturn]] void EndAfterFatalError(TextView message, std::int32_t code) {
  FrameState& state = State();
  ++state.eventSuppression;  // from here on no handler runs, not even while the box is open
  state.reportingFatalError = true;
  const FatalText text = FatalErrorText(message, code);
  ::MessageBoxA(nullptr, text.c_str(), "错误", MB_OK | MB_ICONERROR);
  state.exitRoutines.clear();  // dropped without running
  ShutDown(-1, true);
  ::ExitProcess(static_cast<UINT>(-1));
}

}  // namespace

// ---- The frame's services ---------------------------------------------------------------

int RunProgram(int (*startProgram)()) {
  startProgram();
  ShutDownFrame(0);
  return State().quitCode;
}

void StartFrame(std::span<const NamedHandler> routines, std::span<const WindowDesign> designs) {
  FrameState& state = State();
  SetFatalErrorReporter(FrameFatalErrorReporter);
  if (!state.oleStarted) {
    ::OleInitialize(nullptr);  // the result is not examined: a failure shows as no drop target
    state.oleStarted = true;
  }
  EnterProgramFolder();
  CreateHiddenOwner();
  state.userInterfaceThread = ::GetCurrentThreadId();
  if (!DesignsHoldTogether(designs)) ReportFatalError("载入窗口模板数据段出错!", 0);
  state.designs = designs;
  BindHandlers(routines);
}

void RegisterExitRoutine(ExitRoutine routine) {
  std::vector<ExitRoutine>& routines = State().exitRoutines;
  if (!routine || std::find(routines.begin(), routines.end(), routine) != routines.end()) return;
  routines.push_back(routine);
}

void LoadStartWindow(WindowId window) {
  FrameState& state = State();
  const WindowDesign* design = FindWindowDesign(window);
  if (!design) ReportFatalError("载入启动窗口失败", 0);
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

void RunMessageLoop() {
  FrameState& state = State();
  state.messageLoopStarted = true;
  if (state.live.empty()) return;  // Created may have destroyed the window already
  MSG message;
  for (;;) {
    if (!::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) ReleaseRetired();  // idle
    const BOOL got = ::GetMessageA(&message, nullptr, 0, 0);
    if (got == 0) {
      state.quitCode = static_cast<std::int32_t>(message.wParam);
      return;
    }
    if (got == -1) return;
    if (message.message == WM_KEYDOWN) {
      HWND root = ::GetAncestor(message.hwnd, GA_ROOT);
      auto owner = std::find_if(state.live.begin(), state.live.end(), [root](const auto& live) {
        return live->window && live->window->hwnd() == root;
      });
      if (owner != state.live.end() && (*owner)->window->PreTranslateKey(message)) continue;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
}

int RaiseEvent(EventRecord& record) {
  FrameState& state = State();
  record.handled = false;
  if (state.eventSuppression > 0) return 0;
  const WindowDesign* design = FindWindowDesign(record.window);
  if (!design) ReportFatalError("未找到引发事件的窗口", 0);
  const UnitId unitId = record.unit.value_or(design->units[0].id);
  if (!FindUnitDesign(*design, unitId)) ReportFatalError("未找到引发事件的窗口组件", 0);
  // Only a unit that the window has built can raise its events.
  const LiveWindow* live = FindLive(record.window);
  const bool built =
      live && (unitId == design->units[0].id
                   ? live->window != nullptr
                   : std::any_of(live->units.begin(), live->units.end(),
                                 [unitId](const auto& unit) { return unit->id() == unitId; }));
  if (!built) ReportFatalError("引发事件的窗口组件无效", 0);
  for (const BoundEvent& bound : state.bindings) {
    if (bound.window == record.window && bound.unit == unitId && bound.event == record.event) {
      record.result = bound.routine(record.arguments);
      record.handled = true;
      return 1;
    }
  }
  return 0;
}

Unit* FindUnit(WindowId window, std::optional<UnitId> unit, bool mustExist) {
  Unit* found = nullptr;
  const WindowDesign* design = FindWindowDesign(window);
  LiveWindow* live = design ? FindLive(window) : nullptr;
  if (live) {
    if (!unit || *unit == design->units[0].id) {
      found = live->window.get();
    } else {
      for (const auto& candidate : live->units) {
        if (candidate->id() == *unit) found = candidate.get();
      }
    }
  }
  if (found && !::IsWindow(found->hwnd())) found = nullptr;
  if (!found && mustExist) ReportFatalError("指定窗口或窗口组件不存在或尚未载入", 0);
  return found;
}

void ShutDownFrame(std::int32_t exitCode) { ShutDown(exitCode, false); }

void NotifyUnitDestroyed(WindowId window, UnitId unit) {
  FrameState& state = State();
  auto found = std::find_if(state.live.begin(), state.live.end(),
                            [window](const auto& live) { return live->design->id == window; });
  if (found == state.live.end()) return;
  LiveWindow& live = **found;
  if (live.window && unit == live.window->id()) {
    // The window itself: its units went before it.
    state.retiredWindows.push_back(std::move(*found));
    state.live.erase(found);
    // While the fatal report is open, a quit message would close it before it was read.
    if (state.live.empty() && state.messageLoopStarted && !state.reportingFatalError) {
      ::PostQuitMessage(0);
    }
    return;
  }
  auto gone = std::find_if(live.units.begin(), live.units.end(),
                           [unit](const auto& candidate) { return candidate->id() == unit; });
  if (gone == live.units.end()) return;
  state.retiredUnits.push_back(std::move(*gone));
  live.units.erase(gone);
}

const WindowDesign* FindWindowDesign(WindowId window) {
  for (const WindowDesign& design : State().designs) {
    if (design.id == window) return &design;
  }
  return nullptr;
}

TextView ProgramFolder() { return State().programFolder; }

}  // namespace quillet
