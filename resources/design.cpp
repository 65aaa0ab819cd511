// The program's stored window design: the main window, its labels and its drop target.
#include "resources/design.h"

#include <cstdint>
#include <span>

#include "base/user_texts.h"
#include "resources/banner.h"
#include "resources/design_ids.h"

namespace quillet {
namespace {

constexpr EventBinding kWindowEvents[] = {{kCreated, "OnMainWindowCreated"}};
constexpr EventBinding kDropTargetEvents[] = {{kFileReceived, "OnFileReceived"}};

// Version 1; AcceptText, AcceptHtml, AcceptUrl off; AcceptFiles on (little-endian).
constexpr std::uint8_t kDropTargetSettings[20] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                  0, 0, 0, 0, 0, 0, 1, 0, 0, 0};

WindowProperties MainWindowProperties() {
  WindowProperties p{};
  p.title = "";
  p.borderStyle = 2;
  p.controlBox = true;
  p.minimiseButton = true;
  p.maximiseButton = false;
  p.startPosition = 1;
  p.movable = true;
  p.backgroundColour = kDefaultColour;
  p.backgroundPicture = BannerPng();
  p.pictureLayout = 0;
  p.enterMovesFocus = false;
  p.escCloses = true;
  p.f1Help = false;
  p.showInTaskbar = true;
  p.dragAnywhere = false;
  p.alwaysOnTop = false;
  p.shape = 0;
  return p;
}

LabelProperties Label(const char* caption, std::uint32_t textColour) {
  LabelProperties p{};
  p.caption = caption;
  p.textColour = textColour;
  p.backgroundColour = kDefaultColour;
  p.font = {};
  p.horizontalAlignment = 0;
  p.verticalAlignment = 1;
  p.wordWrap = false;
  p.textEffect = 0;
  p.border = 0;
  return p;
}

}  // namespace

std::span<const WindowDesign> StoredWindowDesigns() {
  // Stored order; the frame builds the units in reverse.
  static const UnitDesign units[] = {
      {kMainWindowUnit,
       "",
       {50, 50, 235, 260},
       true,
       true,
       false,
       kWindowEvents,
       MainWindowProperties()},
      {kAddressLabel,
       "标签2",
       {72, 200, 96, 24},
       true,
       true,
       false,
       {},
       Label(kAddressCaption, 0x808080)},
      {kDropTargetUnit,
       "拖放对象1",
       {8, 32, 200, 80},
       false,
       true,
       false,
       kDropTargetEvents,
       DropTargetProperties{kDropTargetSettings}},
      {kHintLabel,
       "标签1",
       {24, 128, 184, 56},
       true,
       true,
       false,
       {},
       Label(kHintCaption, 0x000000)},
  };
  static const WindowDesign designs[] = {{kMainWindow, units}};
  return designs;
}

}  // namespace quillet
