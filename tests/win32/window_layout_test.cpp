// The labels' text format, the stored design against what the start-up expects of it, and the
// banner's decoding, without showing a window.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <variant>

#include "app/startup.h"
#include "resources/banner.h"
#include "resources/design.h"
#include "resources/design_ids.h"
#include "ui/design_check.h"
#include "ui/drop_settings.h"
#include "ui/label.h"
#include "ui/picture.h"
#include "ui/window_design.h"

namespace quillet {
namespace {

TEST(LabelTextFormat, BuildsTheDrawTextFlagsFromTheAlignments) {
  struct Case {
    std::int32_t horizontal, vertical;
    bool wrap;
    UINT expected;
  };
  const Case cases[] = {
      {0, 1, false, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOCLIP},  // both stored labels
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

// The stored design and the start-up are written apart: a handler name that matches no routine
// binds nothing, and an id the start-up asks for that the design lacks is a fatal error.
TEST(StoredDesign, HoldsWhatTheStartUpAddressesAndBindsEveryHandlerItNames) {
  const auto designs = StoredWindowDesigns();
  EXPECT_TRUE(DesignsHoldTogether(designs));
  const WindowDesign* main = nullptr;
  for (const WindowDesign& design : designs) {
    if (design.id == kMainWindow) main = &design;
  }
  ASSERT_NE(main, nullptr);
  ASSERT_FALSE(main->units.empty());
  EXPECT_EQ(main->units[0].id, kMainWindowUnit);

  struct Addressed {
    UnitId id;
    std::size_t kind;  // index into UnitDesign::properties
  };
  const Addressed addressed[] = {
      {kMainWindowUnit, 0}, {kAddressLabel, 1}, {kDropTargetUnit, 2}, {kHintLabel, 1}};
  for (const Addressed& unit : addressed) {
    SCOPED_TRACE(unit.id);
    const auto found = std::find_if(main->units.begin(), main->units.end(),
                                    [&unit](const UnitDesign& u) { return u.id == unit.id; });
    ASSERT_NE(found, main->units.end());
    EXPECT_EQ(found->properties.index(), unit.kind);
    if (const auto* drop = std::get_if<DropTargetProperties>(&found->properties)) {
      const std::optional<DropSettings> settings = ReadDropSettings(drop->settings);
      ASSERT_TRUE(settings.has_value());
      EXPECT_TRUE((*settings)[static_cast<std::size_t>(DropKind::kFiles)]);
    }
  }

  const auto handlers = StartupHandlers();
  int bound = 0;
  for (const UnitDesign& unit : main->units) {
    for (const EventBinding& binding : unit.events) {
      SCOPED_TRACE(binding.handler ? binding.handler : "(none)");
      ASSERT_NE(binding.handler, nullptr);
      EXPECT_TRUE(std::any_of(handlers.begin(), handlers.end(), [&binding](const NamedHandler& h) {
        return std::strcmp(h.name, binding.handler) == 0;
      }));
      ++bound;
    }
  }
  // Every routine of the start-up has a name in the design to be bound by.
  EXPECT_EQ(bound, static_cast<int>(handlers.size()));
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
