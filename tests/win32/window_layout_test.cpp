// The main window's pure rules (style, centring, label text format), the stored design's
// values and the banner's decoding, without showing a window.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <variant>

#include "resources/banner.h"
#include "resources/design.h"
#include "ui/colour.h"
#include "ui/label.h"
#include "ui/main_window.h"
#include "ui/picture.h"
#include "ui/window_design.h"

namespace quillet {
namespace {

WindowProperties Properties(std::int32_t border, bool controlBox, bool minimise, bool maximise) {
  WindowProperties p{};
  p.borderStyle = border;
  p.controlBox = controlBox;
  p.minimiseButton = minimise;
  p.maximiseButton = maximise;
  return p;
}

TEST(MainWindowStyle, FollowsBorderControlBoxTitleAndButtons) {
  struct Case {
    const char* name;
    WindowProperties properties;
    const char* title;
    DWORD expected;
  };
  const Case cases[] = {
      {"the stored window", Properties(2, true, true, false), "",
       WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_MINIMIZEBOX},
      {"a title alone keeps the caption", Properties(2, false, false, false), "t",
       WS_CLIPCHILDREN | WS_CAPTION | WS_DLGFRAME},
      {"neither title nor control box: no caption", Properties(2, false, false, false), "",
       WS_CLIPCHILDREN | WS_DLGFRAME},
      {"maximise button", Properties(2, true, false, true), "t",
       WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_MAXIMIZEBOX},
      {"no border", Properties(0, true, false, false), "t", WS_CLIPCHILDREN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MainWindowStyle(c.properties, c.title), c.expected) << c.name;
    EXPECT_EQ(MainWindowStyle(c.properties, c.title) & (WS_VISIBLE | WS_THICKFRAME), 0u) << c.name;
  }
}

TEST(CentredEdge, TruncatesTowardZero) {
  struct Case {
    std::int32_t screen, extent, expected;
  };
  const Case cases[] = {{1024, 235, 394}, {768, 260, 254}, {200, 235, -17}, {235, 235, 0},
                        {236, 235, 0},    {0, 235, -117}};
  for (const Case& c : cases) EXPECT_EQ(CentredEdge(c.screen, c.extent), c.expected) << c.screen;
}

TEST(LabelTextFormat, BuildsTheDrawTextFlagsFromTheAlignments) {
  struct Case {
    std::int32_t horizontal, vertical;
    bool wrap;
    UINT expected;
  };
  const Case cases[] = {
      {0, 1, false, 0x124},  // both stored labels: left, single line, centred, no clipping
      {0, 1, false, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP},
      {1, 0, false, DT_CENTER | DT_SINGLELINE | DT_TOP | DT_NOCLIP},
      {2, 2, false, DT_RIGHT | DT_SINGLELINE | DT_BOTTOM | DT_NOCLIP},
      {0, 0, true, DT_LEFT | DT_WORDBREAK | DT_VCENTER | DT_NOCLIP},
  };
  for (const Case& c : cases) {
    const UINT format = LabelTextFormat(c.horizontal, c.vertical, c.wrap);
    EXPECT_EQ(format, c.expected) << c.horizontal << "," << c.vertical << "," << c.wrap;
    EXPECT_EQ(format & DT_NOPREFIX, 0u);
  }
}

TEST(ResolveColour, TheDefaultColourIsTheFaceColour) {
  EXPECT_EQ(ResolveColour(kDefaultColour), ::GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(ResolveColour(0x808080), COLORREF{0x808080});
  EXPECT_EQ(ResolveColour(0), COLORREF{0});
}

TEST(StoredDesign, HoldsTheMainWindowItsUnitsAndBindings) {
  const auto designs = StoredWindowDesigns();
  ASSERT_EQ(designs.size(), 1u);
  EXPECT_EQ(designs[0].id, 0x52010001u);
  const auto units = designs[0].units;
  ASSERT_EQ(units.size(), 4u);
  struct Expected {
    UnitId id;
    UnitRect rect;
    bool visible;
  };
  const Expected expected[] = {{0x06010000, {50, 50, 235, 260}, true},
                               {0x16010012, {72, 200, 96, 24}, true},
                               {0x16010005, {8, 32, 200, 80}, false},
                               {0x16010004, {24, 128, 184, 56}, true}};
  for (std::size_t i = 0; i < units.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(units[i].id, expected[i].id);
    EXPECT_EQ(std::memcmp(&units[i].rect, &expected[i].rect, sizeof(UnitRect)), 0);
    EXPECT_EQ(units[i].visible, expected[i].visible);
    EXPECT_TRUE(units[i].enabled);
  }
  ASSERT_EQ(units[0].events.size(), 1u);
  EXPECT_EQ(units[0].events[0].event, kCreated);
  EXPECT_STREQ(units[0].events[0].handler, "OnMainWindowCreated");
  ASSERT_EQ(units[2].events.size(), 1u);
  EXPECT_EQ(units[2].events[0].event, 3u);
  EXPECT_STREQ(units[2].events[0].handler, "OnFileReceived");
  EXPECT_TRUE(units[1].events.empty());
  EXPECT_TRUE(units[3].events.empty());

  const auto& window = std::get<WindowProperties>(units[0].properties);
  EXPECT_STREQ(window.title, "");
  EXPECT_TRUE(window.escCloses);
  EXPECT_EQ(window.pictureLayout, 0);
  EXPECT_EQ(window.backgroundColour, kDefaultColour);

  const auto& address = std::get<LabelProperties>(units[1].properties);
  EXPECT_EQ(std::strlen(address.caption), 14u);  // a host name of 14 characters
  EXPECT_NE(std::strchr(address.caption, '.'), nullptr);
  EXPECT_EQ(address.textColour, 0x808080u);
  const auto& hint = std::get<LabelProperties>(units[3].properties);
  EXPECT_STREQ(hint.caption, "测试版本！将目标拖进来即可");
  EXPECT_EQ(std::strlen(hint.caption), 26u);  // 13 double-byte characters in GBK
  EXPECT_EQ(hint.textColour, 0u);
  for (const auto* label : {&address, &hint}) {
    EXPECT_EQ(label->backgroundColour, kDefaultColour);
    EXPECT_TRUE(label->font.empty());
    EXPECT_EQ(std::string(label->caption).find('&'), std::string::npos);
  }

  const auto& drop = std::get<DropTargetProperties>(units[2].properties);
  const std::uint8_t record[20] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
  ASSERT_EQ(drop.settings.size(), sizeof record);
  EXPECT_EQ(std::memcmp(drop.settings.data(), record, sizeof record), 0);
}

TEST(DecodePicture, GivesTheBannerAsTopDownBgraWithRealTransparency) {
  const std::optional<Picture> banner = DecodePicture(BannerPng());
  ASSERT_TRUE(banner.has_value());
  EXPECT_EQ(banner->width, 278);
  EXPECT_EQ(banner->height, 127);
  ASSERT_EQ(banner->pixels.size(), 278u * 127u * 4u);
  int transparent = 0;
  int partial = 0;
  int opaque = 0;
  for (std::size_t i = 3; i < banner->pixels.size(); i += 4) {
    const std::uint8_t alpha = banner->pixels[i];
    (alpha == 0 ? transparent : alpha == 255 ? opaque : partial) += 1;
  }
  EXPECT_GT(transparent, 0);
  EXPECT_GT(partial, 1000);
  EXPECT_GT(opaque, 1000);
  // The top-left corner lies outside the rounded card: transparent.
  EXPECT_EQ(banner->pixels[3], 0);
}

TEST(DecodePicture, RefusesWhatIsNoPng) {
  const std::uint8_t notPng[] = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
  EXPECT_FALSE(DecodePicture(notPng).has_value());
  EXPECT_FALSE(DecodePicture({}).has_value());
  // A banner cut short has a valid header but no image data to finish.
  const auto bytes = BannerPng();
  EXPECT_FALSE(DecodePicture(bytes.first(bytes.size() / 2)).has_value());
}

}  // namespace
}  // namespace quillet
