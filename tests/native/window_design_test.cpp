// The check the frame runs over the designs it is handed: which sets of windows and units it
// can build from, and which are a fatal error at start-up.
#include "ui/design_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

UnitDesign Window(UnitId id) {
  return {id, "", {0, 0, 100, 100}, true, true, false, {}, WindowProperties{}};
}
UnitDesign Label(UnitId id) {
  return {id, "", {0, 0, 10, 10}, true, true, false, {}, LabelProperties{}};
}
UnitDesign Drop(UnitId id) {
  return {id, "", {0, 0, 10, 10}, false, true, false, {}, DropTargetProperties{}};
}

TEST(DesignsHoldTogether, NeedUniqueIdsAndTheWindowUnitFirstAndOnlyFirst) {
  struct Case {
    const char* name;
    std::vector<std::vector<UnitDesign>> windows;  // window i has id 1 + i unless ids says so
    std::vector<WindowId> ids;
    bool expected;
  };
  const Case cases[] = {
      {"a window, two labels and a drop target",
       {{Window(1), Label(2), Drop(3), Label(4)}},
       {},
       true},
      {"a window alone", {{Window(1)}}, {}, true},
      {"no windows at all", {}, {}, true},
      {"a window without units", {{}}, {}, false},
      {"a label where the window unit belongs", {{Label(2), Window(1)}}, {}, false},
      {"a second window unit", {{Window(1), Label(2), Window(3)}}, {}, false},
      {"no window unit", {{Label(2), Drop(3)}}, {}, false},
      {"a unit id twice in a window", {{Window(1), Label(2), Drop(2)}}, {}, false},
      {"a unit sharing the window unit's id", {{Window(1), Label(1)}}, {}, false},
      {"one unit id in two windows", {{Window(1), Label(2)}, {Window(1), Label(2)}}, {}, true},
      {"two windows with one id", {{Window(1)}, {Window(2)}}, {7, 7}, false},
      {"two windows with their own ids", {{Window(1)}, {Window(2)}}, {7, 8}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<WindowDesign> designs;
    for (std::size_t i = 0; i < c.windows.size(); ++i) {
      const WindowId id = c.ids.empty() ? static_cast<WindowId>(1 + i) : c.ids[i];
      designs.push_back({id, c.windows[i]});
    }
    EXPECT_EQ(DesignsHoldTogether(designs), c.expected);
  }
}

}  // namespace
}  // namespace quillet
