// The DropTarget unit with a stand-in frame: its settings record, its hidden window, binding it
// to a window, and how the end of the hidden window ends the unit and its registrations.
#include "ui/drop_target_unit.h"

#include <ole2.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <vector>

#include "resources/design_ids.h"
#include "tests/win32/fake_frame.h"

namespace quillet {
namespace {

using testing::Frame;

constexpr WindowId kWindow = kMainWindow;
constexpr UnitId kUnit = kDropTargetUnit;

std::vector<std::uint8_t> Record(std::initializer_list<std::uint32_t> fields) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t field : fields) {
    for (int shift = 0; shift < 32; shift += 8)
      bytes.push_back(static_cast<std::uint8_t>(field >> shift));
  }
  return bytes;
}

bool Registered(HWND window) { return ::GetPropA(window, "OleDropTargetInterface") != nullptr; }

HWND MakeWindow() {
  return ::CreateWindowExA(0, "STATIC", "parent", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                           nullptr, nullptr);
}

class DropTargetUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    parent_ = MakeWindow();
    ASSERT_TRUE(parent_);
  }
  void TearDown() override {
    Frame().Clear();
    if (::IsWindow(parent_)) ::DestroyWindow(parent_);
    ::OleUninitialize();
  }

  // The design must outlive its unit, as the stored designs do.
  const UnitDesign& Design(std::vector<std::uint8_t> record, UnitId id = kUnit) {
    records_.push_back(std::move(record));
    designs_.push_back(UnitDesign{id,
                                  "DropTarget1",
                                  {0, 0, 0, 0},
                                  false,
                                  true,
                                  false,
                                  {},
                                  DropTargetProperties{records_.back()}});
    return designs_.back();
  }
  Unit* AddUnit(std::vector<std::uint8_t> record = Record({1, 0, 0, 0, 1})) {
    return Frame().Add(kWindow, Design(std::move(record)), parent_);
  }

  HWND parent_ = nullptr;
  std::deque<std::vector<std::uint8_t>> records_;
  std::deque<UnitDesign> designs_;
};

TEST_F(DropTargetUnitTest, TheStoredRecordDecidesCreationAndTheSettings) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> record;
    bool created;
    std::vector<bool> settings;
  } cases[] = {
      {"the main window's record", Record({1, 0, 0, 0, 1}), true, {false, false, false, true}},
      {"version 0 reads like 1", Record({0, 1, 1, 0, 0}), true, {true, true, false, false}},
      {"any non-zero value is true",
       Record({1, 7, 0, 0x80000000, 0x100}),
       true,
       {true, false, true, true}},
      {"no record: all off", {}, true, {false, false, false, false}},
      {"longer records read their first 20 bytes",
       Record({1, 0, 1, 0, 0, 9}),
       true,
       {false, true, false, false}},
      {"version 2 is refused", Record({2, 0, 0, 0, 1}), false, {}},
      {"version 0xFFFFFFFF is refused", Record({0xFFFFFFFF, 0, 0, 0, 1}), false, {}},
      {"19 bytes are refused", std::vector<std::uint8_t>(19, 0), false, {}},
      {"4 bytes are refused", Record({1}), false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Frame().Clear();
    Unit* unit = AddUnit(c.record);
    ASSERT_EQ(unit != nullptr, c.created);
    if (!unit) continue;
    for (int number = 0; number < 4; ++number) {
      EXPECT_EQ(GetDropSetting(kWindow, kUnit, number), c.settings[number]) << number;
    }
  }
}

TEST_F(DropTargetUnitTest, NoUnitWithoutAParentOrWithAnotherUnitsProperties) {
  EXPECT_EQ(CreateDropTarget(kWindow, Design(Record({1, 0, 0, 0, 1})), nullptr), nullptr);
  const UnitDesign label{kUnit, "Label1", {0, 0, 10, 10}, true, true, false, {}, LabelProperties{}};
  EXPECT_EQ(CreateDropTarget(kWindow, label, parent_), nullptr);
}

TEST_F(DropTargetUnitTest, TheHiddenWindowIsANeverShownChildOfTheParent) {
  Unit* unit = AddUnit();
  ASSERT_TRUE(unit);
  HWND hidden = unit->hwnd();
  ASSERT_TRUE(::IsWindow(hidden));
  EXPECT_EQ(::GetParent(hidden), parent_);
  const LONG style = ::GetWindowLongA(hidden, GWL_STYLE);
  EXPECT_EQ(style & (WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE), WS_CHILD | WS_CLIPSIBLINGS);
  EXPECT_EQ(unit->window(), kWindow);
  EXPECT_EQ(unit->id(), kUnit);
  // Creating the unit does not register anything yet.
  EXPECT_FALSE(Registered(parent_));
}

TEST_F(DropTargetUnitTest, RegisterDropWindowBindsOnceThroughAMustExistLookup) {
  ASSERT_TRUE(AddUnit());
  HWND other = MakeWindow();

  EXPECT_FALSE(RegisterDropWindow(kWindow, kUnit, nullptr));  // not stored: a later call may bind
  EXPECT_TRUE(RegisterDropWindow(kWindow, kUnit, parent_));
  EXPECT_TRUE(Registered(parent_));
  EXPECT_FALSE(RegisterDropWindow(kWindow, kUnit, parent_));
  EXPECT_FALSE(RegisterDropWindow(kWindow, kUnit, other));
  EXPECT_TRUE(Registered(parent_));
  EXPECT_FALSE(Registered(other));
  EXPECT_EQ(Frame().lookups, std::vector<bool>(4, true));
  ::DestroyWindow(other);
}

TEST_F(DropTargetUnitTest, TheEndOfTheHiddenWindowEndsTheUnitAndItsRegistrations) {
  struct Case {
    const char* name;
    bool registerOther;  // bind another window instead of the parent
    bool destroyParent;  // end through the parent (else the hidden window alone)
  } cases[] = {
      {"parent bound, hidden window destroyed", false, false},
      {"other window bound, hidden window destroyed", true, false},
      {"parent bound, parent destroyed", false, true},
      {"other window bound, parent destroyed", true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Frame().Clear();
    if (!::IsWindow(parent_)) parent_ = MakeWindow();
    HWND other = MakeWindow();
    Unit* unit = AddUnit();
    ASSERT_TRUE(unit);
    HWND hidden = unit->hwnd();
    HWND bound = c.registerOther ? other : parent_;
    ASSERT_TRUE(RegisterDropWindow(kWindow, kUnit, bound));

    ::DestroyWindow(c.destroyParent ? parent_ : hidden);

    EXPECT_FALSE(::IsWindow(hidden));
    ASSERT_EQ(Frame().destroyed.size(), 1u);
    EXPECT_EQ(Frame().destroyed[0], std::make_pair(kWindow, kUnit));
    EXPECT_TRUE(Frame().units.empty());  // freed at the notice
    EXPECT_FALSE(Registered(other));
    if (::IsWindow(parent_)) {
      EXPECT_FALSE(Registered(parent_));
    }
    ::DestroyWindow(other);
  }
}

TEST_F(DropTargetUnitTest, AUnitFreedByTheFrameTakesItsWindowAndRegistrationWithIt) {
  Unit* unit = AddUnit();
  ASSERT_TRUE(unit);
  HWND hidden = unit->hwnd();
  ASSERT_TRUE(RegisterDropWindow(kWindow, kUnit, parent_));
  Frame().units.clear();
  EXPECT_FALSE(::IsWindow(hidden));
  EXPECT_FALSE(Registered(parent_));
  EXPECT_TRUE(Frame().destroyed.empty());  // the frame already knows
  EXPECT_TRUE(::IsWindow(parent_));
}

TEST_F(DropTargetUnitTest, AUnitEndsOnlyTheRegistrationItMade) {
  Unit* bound = Frame().Add(kWindow, Design(Record({1, 0, 0, 0, 1}), kUnit), parent_);
  Unit* unbound = Frame().Add(kWindow, Design(Record({1, 0, 0, 0, 1}), kUnit + 1), parent_);
  ASSERT_TRUE(bound && unbound);
  ASSERT_TRUE(RegisterDropWindow(kWindow, kUnit, parent_));
  EXPECT_FALSE(RegisterDropWindow(kWindow, kUnit + 1, parent_));  // the parent is taken
  ::DestroyWindow(unbound->hwnd());
  EXPECT_TRUE(Registered(parent_));
  ::DestroyWindow(bound->hwnd());
  EXPECT_FALSE(Registered(parent_));
}

}  // namespace
}  // namespace quillet
