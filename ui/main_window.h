// The top-level window built from a window design: frame style, centring, icons, font, the
// background picture composited over the background colour, Esc, and the close sequence.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "base/text.h"
#include "ui/picture.h"
#include "ui/window_design.h"
#include "ui/window_unit.h"

namespace quillet {

// The style bits a window's properties ask for (never WS_VISIBLE: the frame shows it).
DWORD MainWindowStyle(const WindowProperties& properties, TextView title);

class MainWindow final : public WindowUnit {
 public:
  // Null when the native window cannot be made. owner may be null.
  static std::unique_ptr<MainWindow> Create(WindowId window, const UnitDesign& design, HWND owner);

  const WindowProperties& properties() const;
  void SetTitle(TextView title);
  // Keys seen before dispatch: true when the key was consumed.
  bool PreTranslateKey(const MSG& message);

 private:
  MainWindow(WindowId window, const UnitDesign& design);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam) override;
  void Paint();
  bool CloseAllowed();
  void ReportGeometryChanges();
  void Raise(EventNumber event);

  Text title_;
  HFONT font_ = nullptr;
  std::optional<Picture> picture_;       // decoded at the first paint that succeeds
  std::vector<std::uint8_t> composite_;  // rebuilt at every paint
  RECT geometry_{};                      // as last reported by PositionChanged / SizeChanged
};

}  // namespace quillet
