// The data model of a stored window design: the window, its units, their properties and the
// bindings of their events to handler names. The frame builds windows and routes events
// from this data alone.
#pragma once

#include <cstdint>
#include <span>
#include <variant>

namespace quillet {

using WindowId = std::uint32_t;
using UnitId = std::uint32_t;
using EventNumber = std::uint32_t;

// The colour that stands for the system's 3D face colour, looked up at every paint.
inline constexpr std::uint32_t kDefaultColour = 0xFF000000;

// Window events.
inline constexpr EventNumber kCreated = 0;
inline constexpr EventNumber kCloseQuery = 1;
inline constexpr EventNumber kDestroyed = 2;
inline constexpr EventNumber kPositionChanged = 3;
inline constexpr EventNumber kSizeChanged = 4;
inline constexpr EventNumber kCloseQueryFirst = 12;

// DropTarget events, in the order of the kinds it accepts; each has one text argument passed
// by reference.
inline constexpr EventNumber kTextReceived = 0;
inline constexpr EventNumber kHtmlReceived = 1;
inline constexpr EventNumber kUrlReceived = 2;
inline constexpr EventNumber kFileReceived = 3;

struct EventBinding {
  EventNumber event;
  const char* handler;  // a routine name, bound at start-up; null binds nothing
};

struct UnitRect {
  std::int32_t left, top, width, height;
};

struct WindowProperties {
  const char* title;
  std::int32_t borderStyle;  // 2: fixed dialog frame
  bool controlBox, minimiseButton, maximiseButton;
  std::int32_t startPosition;  // 1: centred on the screen
  bool movable;
  std::uint32_t backgroundColour;
  std::span<const std::uint8_t> backgroundPicture;  // PNG bytes, may be empty
  std::int32_t pictureLayout;  // 0 top-left at own size, 1 tiled, 2 centred, 3 stretched
  bool enterMovesFocus, escCloses, f1Help, showInTaskbar, dragAnywhere, alwaysOnTop;
  std::int32_t shape;
};

struct LabelProperties {
  const char* caption;
  std::uint32_t textColour, backgroundColour;
  std::span<const std::uint8_t> font;  // a 60-byte LOGFONTA, or empty for DEFAULT_GUI_FONT
  std::int32_t horizontalAlignment, verticalAlignment;
  bool wordWrap;
  std::int32_t textEffect, border;
};

struct DropTargetProperties {
  std::span<const std::uint8_t> settings;  // the stored settings record (20 bytes), or empty
};

struct UnitDesign {
  UnitId id;
  const char* name;
  UnitRect rect;  // the window: outer frame on screen; units: relative to the client area
  bool visible, enabled, tabStop;
  std::span<const EventBinding> events;
  std::variant<WindowProperties, LabelProperties, DropTargetProperties> properties;
};

struct WindowDesign {
  WindowId id;
  std::span<const UnitDesign> units;  // stored order; units[0] is the window itself
};

}  // namespace quillet
