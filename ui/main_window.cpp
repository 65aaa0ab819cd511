// The top-level window of a design: created hidden, painted from its background colour and
// picture, closed through the close queries; the frame decides when it is shown.
#include "ui/main_window.h"

#include <utility>
#include <variant>

#include "base/win32_handles.h"
#include "ui/colour.h"
#include "ui/frame_events.h"
#include "ui/picture_composite.h"

namespace quillet {
namespace {

constexpr WindowClass kWindowClass{"QuilletWindow", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, true};

// The program's icon, loaded once per process and shared by every window without its own.
struct SharedIcons {
  AutoIcon big;
  AutoIcon small;
};

const SharedIcons& ProgramIcons() {
  static const SharedIcons icons = [] {
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    SharedIcons loaded;
    loaded.big.Reset(static_cast<HICON>(
        ::LoadImageA(instance, "DEFAULT_ICON", IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR)));
    loaded.small.Reset(static_cast<HICON>(
        ::LoadImageA(instance, "DEFAULT_ICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
    return loaded;
  }();
  return icons;
}

bool KeyHeld(int key) { return ::GetKeyState(key) < 0; }

// The left or top edge that centres an outer extent on a screen extent.
std::int32_t CentredEdge(std::int32_t screen, std::int32_t extent) {
  return (screen - extent) / 2;  // C++ division truncates toward zero: (200 - 235) / 2 is -17
}

}  // namespace

DWORD MainWindowStyle(const WindowProperties& properties, TextView title) {
  DWORD style = WS_CLIPCHILDREN;
  if (properties.borderStyle != 0) {
    if (!title.empty() || properties.controlBox) style |= WS_CAPTION;
    if (properties.controlBox) style |= WS_SYSMENU;
    style |= WS_DLGFRAME;
  }
  if (properties.minimiseButton) style |= WS_MINIMIZEBOX;
  if (properties.maximiseButton) style |= WS_MAXIMIZEBOX;
  return style;
}

MainWindow::MainWindow(WindowId window, const UnitDesign& design)
    : WindowUnit(window, design),
      title_(TextView(std::get<WindowProperties>(design.properties).title)) {}

const WindowProperties& MainWindow::properties() const {
  return std::get<WindowProperties>(design().properties);
}

std::unique_ptr<MainWindow> MainWindow::Create(WindowId window, const UnitDesign& design,
                                               HWND owner) {
  if (!std::holds_alternative<WindowProperties>(design.properties)) return nullptr;
  std::unique_ptr<MainWindow> created(new MainWindow(window, design));
  const WindowProperties& properties = created->properties();

  UnitRect rect = design.rect;
  if (properties.startPosition == 1) {
    rect.left = CentredEdge(::GetSystemMetrics(SM_CXSCREEN), rect.width);
    rect.top = CentredEdge(::GetSystemMetrics(SM_CYSCREEN), rect.height);
  }
  if (!created->CreateNative(kWindowClass, created->title_.c_str(),
                             MainWindowStyle(properties, created->title_), rect, owner)) {
    return nullptr;
  }
  HWND hwnd = created->hwnd();

  RECT outer{};
  ::GetWindowRect(hwnd, &outer);
  if (outer.right - outer.left != rect.width || outer.bottom - outer.top != rect.height) {
    ::SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.width, rect.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  const SharedIcons& icons = ProgramIcons();
  if (icons.big)
    ::SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icons.big.Get()));
  if (icons.small) {
    ::SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icons.small.Get()));
  }
  ::SendMessageA(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
  if (properties.alwaysOnTop) {
    ::SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  if (!properties.movable) ::DeleteMenu(::GetSystemMenu(hwnd, FALSE), SC_MOVE, MF_BYCOMMAND);
  ::GetWindowRect(hwnd, &created->geometry_);
  return created;
}

void MainWindow::SetTitle(TextView title) {
  title_ = Text(title);
  HWND hwnd = this->hwnd();
  ::SetWindowTextA(hwnd, title_.c_str());
  constexpr DWORD kFrameBits = WS_CAPTION | WS_SYSMENU | WS_DLGFRAME;
  const auto current = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE));
  const DWORD wanted = MainWindowStyle(properties(), title_);
  if ((current & kFrameBits) != (wanted & kFrameBits)) {
    ::SetWindowLongA(hwnd, GWL_STYLE,
                     static_cast<LONG>((current & ~kFrameBits) | (wanted & kFrameBits)));
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

bool MainWindow::PreTranslateKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE) return false;
  if (!properties().escCloses) return false;
  if (KeyHeld(VK_CONTROL) || KeyHeld(VK_SHIFT) || KeyHeld(VK_MENU)) return false;
  ::SendMessageA(hwnd(), WM_CLOSE, 0, 0);
  return true;
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND hwnd = this->hwnd();
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers the whole clip box
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wparam);
      if (LOWORD(lparam)) ::InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_CLOSE:
      if (CloseAllowed()) ::DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      Raise(kDestroyed);
      return 0;
    case WM_WINDOWPOSCHANGED: {
      const LRESULT result = ::DefWindowProcA(hwnd, message, wparam, lparam);
      ReportGeometryChanges();
      return result;
    }
    default:
      return ::DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

void MainWindow::Raise(EventNumber event) {
  EventRecord record{.window = window(), .unit = id(), .event = event, .arguments = {}};
  RaiseEvent(record);
}

bool MainWindow::CloseAllowed() {
  for (EventNumber query : {kCloseQueryFirst, kCloseQuery}) {
    EventArgument refuse{};
    EventRecord record{.window = window(), .unit = id(), .event = query, .arguments = {&refuse, 1}};
    RaiseEvent(record);
    if (record.handled && refuse.value != 0) return false;
  }
  return true;
}

void MainWindow::ReportGeometryChanges() {
  RECT now{};
  if (!::GetWindowRect(hwnd(), &now)) return;
  const RECT before = std::exchange(geometry_, now);
  // Moves and sizes while the frame suppresses events (the window being built) reach no one.
  if (now.left != before.left || now.top != before.top) Raise(kPositionChanged);
  if (now.right - now.left != before.right - before.left ||
      now.bottom - now.top != before.bottom - before.top) {
    Raise(kSizeChanged);
  }
}

void MainWindow::Paint() {
  PaintScope paint(hwnd());
  const RECT& clip = paint.clip();
  if (!paint.dc() || ::IsRectEmpty(&clip)) return;
  const WindowProperties& properties = this->properties();
  const COLORREF background = ResolveColour(properties.backgroundColour);
  AutoRegion rest(::CreateRectRgnIndirect(&clip));

  if (!properties.backgroundPicture.empty() && !picture_) {
    picture_ = DecodePicture(properties.backgroundPicture);  // a failure retries next paint
  }
  if (picture_) {
    // Opaque against the current background colour, so a changed system colour shows at once.
    composite_.assign(picture_->pixels.begin(), picture_->pixels.end());
    CompositeOverColour(composite_, background);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture_->width;
    info.bmiHeader.biHeight = -picture_->height;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // At its own size from the top-left corner; the device context clips it to the clip box.
    ::SetDIBitsToDevice(paint.dc(), 0, 0, picture_->width, picture_->height, 0, 0, 0,
                        picture_->height, composite_.data(), &info, DIB_RGB_COLORS);
    AutoRegion covered(::CreateRectRgn(0, 0, picture_->width, picture_->height));
    if (rest && covered) ::CombineRgn(rest.Get(), rest.Get(), covered.Get(), RGN_DIFF);
  }
  AutoBrush brush(::CreateSolidBrush(background));
  if (rest && brush) ::FillRgn(paint.dc(), rest.Get(), brush.Get());
}

}  // namespace quillet
