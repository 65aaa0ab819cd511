// The Label unit: a child window that fills its clip box with its background colour and draws
// its caption once with DrawTextA in its text colour and font.
#include "ui/label.h"

#include <cstring>
#include <memory>
#include <variant>
#include <vector>

#include "base/win32_handles.h"
#include "ui/colour.h"
#include "ui/window_unit.h"

namespace quillet {
namespace {

constexpr WindowClass kWindowClass{"QuilletLabel", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS, true};

class Label final : public WindowUnit {
 public:
  Label(WindowId window, const UnitDesign& design) : WindowUnit(window, design) {}

  bool CreateIn(HWND parent);

 private:
  const LabelProperties& properties() const {
    return std::get<LabelProperties>(design().properties);
  }
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam) override;
  void Paint();
};

bool Label::CreateIn(HWND parent) {
  const UnitDesign& unit = design();
  // Created hidden; the frame shows visible units once all of them exist. No border bits.
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  if (!unit.enabled) style |= WS_DISABLED;
  if (unit.tabStop) style |= WS_TABSTOP;
  const char* caption = properties().caption ? properties().caption : "";
  return WindowUnit::CreateNative(kWindowClass, caption, style, unit.rect, parent);
}

LRESULT Label::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  HWND hwnd = this->hwnd();
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT fills the clip box itself
    case WM_SETTEXT: {
      const LRESULT result = ::DefWindowProcA(hwnd, message, wparam, lparam);
      ::InvalidateRect(hwnd, nullptr, FALSE);
      return result;
    }
    default:
      return ::DefWindowProcA(hwnd, message, wparam, lparam);
  }
}

void Label::Paint() {
  HWND hwnd = this->hwnd();
  PaintScope paint(hwnd);
  RECT client{};
  RECT area{};
  ::GetClientRect(hwnd, &client);
  if (!paint.dc() || !::IntersectRect(&area, &paint.clip(), &client)) return;
  const LabelProperties& properties = this->properties();
  AutoBrush background(::CreateSolidBrush(ResolveColour(properties.backgroundColour)));
  if (background) ::FillRect(paint.dc(), &area, background.Get());

  const int length = ::GetWindowTextLengthA(hwnd);
  if (length <= 0) return;
  std::vector<char> text(static_cast<std::size_t>(length) + 1);
  const int read = ::GetWindowTextA(hwnd, text.data(), length + 1);
  if (read <= 0) return;

  // A stored LOGFONTA is used with the default character set and proof quality.
  AutoFont storedFont;
  if (properties.font.size() == sizeof(LOGFONTA)) {
    LOGFONTA description{};
    std::memcpy(&description, properties.font.data(), sizeof description);
    description.lfCharSet = DEFAULT_CHARSET;
    description.lfQuality = PROOF_QUALITY;
    storedFont.Reset(::CreateFontIndirectA(&description));
  }
  HGDIOBJ font =
      storedFont ? static_cast<HGDIOBJ>(storedFont.Get()) : ::GetStockObject(DEFAULT_GUI_FONT);
  SelectScope selected(paint.dc(), font);
  ::SetBkMode(paint.dc(), TRANSPARENT);
  ::SetTextColor(paint.dc(), ResolveColour(properties.textColour));
  ::DrawTextA(paint.dc(), text.data(), read, &client,
              LabelTextFormat(properties.horizontalAlignment, properties.verticalAlignment,
                              properties.wordWrap));
}

}  // namespace

UINT LabelTextFormat(std::int32_t horizontal, std::int32_t vertical, bool wordWrap) {
  UINT format = DT_NOCLIP;  // never DT_NOPREFIX: an "&" underlines the next character
  format |= horizontal == 1 ? DT_CENTER : horizontal == 2 ? DT_RIGHT : DT_LEFT;
  if (wordWrap) return format | DT_WORDBREAK | DT_VCENTER;
  format |= DT_SINGLELINE;
  format |= vertical == 1 ? DT_VCENTER : vertical == 2 ? DT_BOTTOM : DT_TOP;
  return format;
}

std::unique_ptr<Unit> CreateLabel(WindowId window, const UnitDesign& design, HWND parent) {
  if (!std::holds_alternative<LabelProperties>(design.properties)) return nullptr;
  auto label = std::make_unique<Label>(window, design);
  if (!label->CreateIn(parent)) return nullptr;
  return label;
}

}  // namespace quillet
