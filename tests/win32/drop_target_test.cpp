// The OLE drop target in process, fed by offered data: what it accepts, which effect it
// offers, what each kind reads as, in which order, and that every medium is back first.
#include "ui/ole_drop_target.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/native/test_bytes.h"
#include "tools/offered_data.h"
#include "ui/drop_effect.h"

namespace quillet {
namespace {

using testing::Bytes;
using tools::FileList;
using tools::OfferedData;
using tools::WideFileList;

constexpr DWORD kAll = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
constexpr POINTL kPoint{10, 10};

const CLIPFORMAT kHtml = static_cast<CLIPFORMAT>(::RegisterClipboardFormatA("HTML Format"));
const CLIPFORMAT kUrl =
    static_cast<CLIPFORMAT>(::RegisterClipboardFormatA("UniformResourceLocator"));

DropSettings Accepting(std::initializer_list<DropKind> kinds) {
  DropSettings settings{};
  for (DropKind kind : kinds) settings[static_cast<std::size_t>(kind)] = true;
  return settings;
}
const DropSettings kFilesOnly = Accepting({DropKind::kFiles});
const DropSettings kEverything =
    Accepting({DropKind::kText, DropKind::kHtml, DropKind::kUrl, DropKind::kFiles});

struct Received {
  DropKind kind;
  std::string text;
  int outstandingMedia;  // media not yet released when the text arrived
};

class RecordingTarget final : public OleDropTarget {
 public:
  explicit RecordingTarget(const DropSettings& settings) : OleDropTarget(settings) {}

  const OfferedData* watched = nullptr;
  std::vector<Received> received;

 protected:
  void Deliver(DropKind kind, Text& cell) override {
    received.push_back({kind, std::string(cell.view()), watched ? watched->Outstanding() : -1});
  }
};

struct DropOutcome {
  HRESULT enter, over, drop;
  DWORD enterEffect, overEffect, dropEffect;
};

// What the platform does for one drag that ends in a drop.
DropOutcome DragAndDrop(OleDropTarget& target, IDataObject* data, DWORD keys, DWORD allowed) {
  DropOutcome outcome{};
  outcome.enterEffect = outcome.overEffect = outcome.dropEffect = allowed;
  outcome.enter = target.DragEnter(data, keys, kPoint, &outcome.enterEffect);
  outcome.over = target.DragOver(keys, kPoint, &outcome.overEffect);
  outcome.drop = target.Drop(data, keys, kPoint, &outcome.dropEffect);
  return outcome;
}

std::vector<DropKind> Kinds(const std::vector<Received>& received) {
  std::vector<DropKind> kinds;
  for (const Received& r : received) kinds.push_back(r.kind);
  return kinds;
}

class DropTargetTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr))); }
  void TearDown() override { ::OleUninitialize(); }
};

TEST(DropEffect, KeysAndAllowedEffectsChooseTheEffect) {
  struct Case {
    const char* name;
    bool acceptable;
    DWORD keys, allowed, expected;
  } cases[] = {
      {"nothing acceptable", false, 0, kAll, DROPEFFECT_NONE},
      {"nothing acceptable, Ctrl", false, MK_CONTROL, kAll, DROPEFFECT_NONE},
      {"no key", true, 0, kAll, DROPEFFECT_COPY},
      {"no key, no copy", true, 0, DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_MOVE},
      {"no key, link only", true, 0, DROPEFFECT_LINK, DROPEFFECT_LINK},
      {"no key, nothing allowed", true, 0, DROPEFFECT_NONE, DROPEFFECT_NONE},
      {"no key, scroll bit ignored", true, 0, DROPEFFECT_SCROLL | DROPEFFECT_MOVE, DROPEFFECT_MOVE},
      {"Ctrl", true, MK_CONTROL, kAll, DROPEFFECT_COPY},
      {"Ctrl, no copy", true, MK_CONTROL, DROPEFFECT_MOVE | DROPEFFECT_LINK, DROPEFFECT_NONE},
      {"Shift", true, MK_SHIFT, kAll, DROPEFFECT_MOVE},
      {"Shift, no move", true, MK_SHIFT, DROPEFFECT_COPY | DROPEFFECT_LINK, DROPEFFECT_NONE},
      {"Ctrl+Shift", true, MK_CONTROL | MK_SHIFT, kAll, DROPEFFECT_NONE},
      {"Ctrl+Shift, link only", true, MK_CONTROL | MK_SHIFT, DROPEFFECT_LINK, DROPEFFECT_NONE},
      {"buttons and Alt do not count", true, MK_LBUTTON | MK_RBUTTON | MK_ALT, kAll,
       DROPEFFECT_COPY},
      {"Alt+Shift is Shift", true, MK_ALT | MK_SHIFT | MK_LBUTTON, kAll, DROPEFFECT_MOVE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD effect = c.allowed;
    EXPECT_EQ(ChooseDropEffect(c.acceptable, c.keys, effect), c.expected != DROPEFFECT_NONE);
    EXPECT_EQ(effect, c.expected);
  }
}

TEST_F(DropTargetTest, EveryCallbackOffersTheEffectOfTheKeysAndDropKeepsIt) {
  struct Case {
    const char* name;
    DWORD keys, allowed, expected;
  } cases[] = {
      {"no key", 0, kAll, DROPEFFECT_COPY},
      {"Shift", MK_SHIFT, kAll, DROPEFFECT_MOVE},
      {"Ctrl+Shift", MK_CONTROL | MK_SHIFT, kAll, DROPEFFECT_NONE},
      {"link only", 0, DROPEFFECT_LINK, DROPEFFECT_LINK},
      {"move only, Ctrl", MK_CONTROL, DROPEFFECT_MOVE, DROPEFFECT_NONE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfferedData data;
    data.Offer(CF_HDROP, FileList({"C:\\dl\\pack.kz"}));
    RecordingTarget target(kFilesOnly);
    const DropOutcome outcome = DragAndDrop(target, &data, c.keys, c.allowed);
    EXPECT_EQ(outcome.enter, S_OK);
    EXPECT_EQ(outcome.over, S_OK);
    EXPECT_EQ(outcome.drop, E_FAIL);  // also when the paths were delivered
    EXPECT_EQ(outcome.enterEffect, c.expected);
    EXPECT_EQ(outcome.overEffect, c.expected);
    EXPECT_EQ(outcome.dropEffect, c.expected);
    EXPECT_EQ(target.received.size(), c.expected == DROPEFFECT_NONE ? 0u : 1u);
  }
}

TEST_F(DropTargetTest, DragEnterAsksForEnabledKindsInOrderUntilOneIsOffered) {
  struct Case {
    const char* name;
    DropSettings settings;
    std::vector<CLIPFORMAT> offered;
    std::vector<CLIPFORMAT> asked;
    bool acceptable;
  } cases[] = {
      {"files only, files offered", kFilesOnly, {CF_HDROP}, {CF_HDROP}, true},
      {"files only, others offered", kFilesOnly, {CF_TEXT, kHtml, kUrl}, {CF_HDROP}, false},
      {"all, text offered", kEverything, {CF_TEXT, CF_HDROP}, {CF_TEXT}, true},
      {"all, URL offered", kEverything, {kUrl, kHtml}, {CF_TEXT, CF_HDROP, kUrl}, true},
      {"all, HTML offered", kEverything, {kHtml}, {CF_TEXT, CF_HDROP, kUrl, kHtml}, true},
      {"all, nothing known offered",
       kEverything,
       {CF_BITMAP},
       {CF_TEXT, CF_HDROP, kUrl, kHtml},
       false},
      {"text and HTML, files offered",
       Accepting({DropKind::kText, DropKind::kHtml}),
       {CF_HDROP},
       {CF_TEXT, kHtml},
       false},
      {"nothing enabled", DropSettings{}, {CF_TEXT, CF_HDROP, kUrl, kHtml}, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfferedData data;
    for (CLIPFORMAT format : c.offered) data.Offer(format, "x");
    RecordingTarget target(c.settings);
    DWORD effect = kAll;
    EXPECT_EQ(target.DragEnter(&data, 0, kPoint, &effect), S_OK);
    EXPECT_EQ(data.Queried(), c.asked);
    EXPECT_EQ(target.data_acceptable(), c.acceptable);
    EXPECT_EQ(effect, c.acceptable ? DROPEFFECT_COPY : DROPEFFECT_NONE);
    // DragOver decides from the keys alone, without asking the data again.
    effect = kAll;
    EXPECT_EQ(target.DragOver(MK_SHIFT, kPoint, &effect), S_OK);
    EXPECT_EQ(data.Queried(), c.asked);
    EXPECT_EQ(effect, c.acceptable ? DROPEFFECT_MOVE : DROPEFFECT_NONE);
  }
}

TEST_F(DropTargetTest, AcceptanceIsDecidedAfreshForEachDrag) {
  OfferedData files, bitmap;
  files.Offer(CF_HDROP, FileList({"a"}));
  bitmap.Offer(CF_BITMAP, "x");
  RecordingTarget target(kFilesOnly);
  DWORD effect = kAll;

  target.DragEnter(&files, 0, kPoint, &effect);
  EXPECT_TRUE(target.data_acceptable());
  EXPECT_EQ(target.DragLeave(), S_OK);
  EXPECT_FALSE(target.data_acceptable());

  // After a drop the flag stays as it was; the next drag must not inherit it.
  DragAndDrop(target, &files, 0, kAll);
  EXPECT_TRUE(target.data_acceptable());
  target.SetSetting(static_cast<int>(DropKind::kFiles), false);
  effect = kAll;
  target.DragEnter(&files, 0, kPoint, &effect);
  EXPECT_FALSE(target.data_acceptable());
  EXPECT_EQ(effect, DROPEFFECT_NONE);

  effect = kAll;
  target.SetSetting(static_cast<int>(DropKind::kFiles), true);
  target.DragEnter(&bitmap, 0, kPoint, &effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  target.DragEnter(nullptr, 0, kPoint, &effect);
  EXPECT_FALSE(target.data_acceptable());
}

TEST_F(DropTargetTest, DropReadsTheKindsInOrderEachWithItsMediumReleasedFirst) {
  const std::string fileList = FileList({"C:\\a.kz"});
  struct Case {
    const char* name;
    DropSettings settings;
    std::vector<std::pair<CLIPFORMAT, std::string>> offered;
    std::vector<DropKind> expected;
  } cases[] = {
      {"all kinds without HTML",
       kEverything,
       {{CF_HDROP, fileList}, {kUrl, std::string("http://u", 9)}, {CF_TEXT, std::string("t", 2)}},
       {DropKind::kText, DropKind::kUrl, DropKind::kFiles}},
      {"HTML offered: no plain text",
       kEverything,
       {{CF_HDROP, fileList}, {kUrl, "http://u"}, {CF_TEXT, "t"}, {kHtml, "<p>h</p>"}},
       {DropKind::kHtml, DropKind::kUrl, DropKind::kFiles}},
      {"text on, HTML off, both offered: nothing at all",
       Accepting({DropKind::kText}),
       {{CF_TEXT, "t"}, {kHtml, "<p>h</p>"}},
       {}},
      {"text and HTML on, both offered: HTML only",
       Accepting({DropKind::kText, DropKind::kHtml}),
       {{CF_TEXT, "t"}, {kHtml, "<p>h</p>"}},
       {DropKind::kHtml}},
      {"files only: the rest is not read",
       kFilesOnly,
       {{CF_HDROP, fileList}, {kUrl, "http://u"}, {CF_TEXT, "t"}},
       {DropKind::kFiles}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfferedData data;
    for (const auto& [format, bytes] : c.offered) data.Offer(format, bytes);
    RecordingTarget target(c.settings);
    target.watched = &data;
    const DropOutcome outcome = DragAndDrop(target, &data, 0, kAll);
    EXPECT_EQ(outcome.drop, E_FAIL);
    EXPECT_EQ(Kinds(target.received), c.expected);
    for (const Received& r : target.received) EXPECT_EQ(r.outstandingMedia, 0);
    EXPECT_EQ(data.Outstanding(), 0);
    EXPECT_GE(data.HandedOut(), static_cast<int>(c.expected.size()));
  }
}

TEST_F(DropTargetTest, TextHtmlAndUrlReadUpToTheFirstNulWithinTheBlock) {
  struct Case {
    const char* name;
    DropKind kind;
    CLIPFORMAT format;
    std::string block;
    std::string expected;
  } cases[] = {
      {"text", DropKind::kText, CF_TEXT, std::string("plain\0rest", 10), "plain"},
      {"text without a NUL stops at the block's end", DropKind::kText, CF_TEXT, "abc", "abc"},
      {"GBK text stays bytes", DropKind::kText, CF_TEXT, Bytes("B2 E2 CA D4 00"),
       Bytes("B2 E2 CA D4")},
      {"URL", DropKind::kUrl, kUrl, std::string("http://x/\0garbage", 17), "http://x/"},
      {"URL without a NUL", DropKind::kUrl, kUrl, "http://y", "http://y"},
      {"HTML keeps its header lines", DropKind::kHtml, kHtml,
       std::string("Version:0.9\r\nStartHTML:0000000105\r\n<b>x</b>\0", 44),
       "Version:0.9\r\nStartHTML:0000000105\r\n<b>x</b>"},
      {"HTML no-break spaces become spaces", DropKind::kHtml, kHtml,
       "a\xC2\xA0"
       "b\xC2\xA0\xC2\xA0"
       "c&nbsp;",
       "a b  c&nbsp;"},
      {"HTML UTF-8 becomes GBK", DropKind::kHtml, kHtml, "\xE6\xB5\x8B\xE8\xAF\x95",
       Bytes("B2 E2 CA D4")},
      {"HTML accented letter", DropKind::kHtml, kHtml, "caf\xC3\xA9", "caf" + Bytes("A8 A6")},
      {"HTML stops at the NUL", DropKind::kHtml, kHtml, std::string("ab\0cd", 5), "ab"},
      {"empty HTML is still delivered", DropKind::kHtml, kHtml, std::string("\0", 1), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfferedData data;
    data.Offer(c.format, c.block);
    RecordingTarget target(Accepting({c.kind}));
    DragAndDrop(target, &data, 0, kAll);
    ASSERT_EQ(target.received.size(), 1u);
    EXPECT_EQ(target.received[0].kind, c.kind);
    EXPECT_EQ(target.received[0].text, c.expected);
  }
}

TEST_F(DropTargetTest, FileListsBecomeOneText) {
  const std::string longName(300, 'n');
  const std::wstring longWide(300, L'w');
  struct Case {
    const char* name;
    std::string block;
    std::string expected;
  } cases[] = {
      {"one file, no line break", FileList({"C:\\dl\\pack.kz"}), "C:\\dl\\pack.kz"},
      {"two files, each with CR LF", FileList({"a", "b"}), "a\r\nb\r\n"},
      {"three wide paths", WideFileList({L"C:\\x", L"C:\\y", L"C:\\z"}),
       "C:\\x\r\nC:\\y\r\nC:\\z\r\n"},
      {"no file: the empty text", FileList({}), ""},
      {"a folder like a file", FileList({"C:\\dl\\folder"}), "C:\\dl\\folder"},
      {"over 260 bytes, narrow", FileList({"C:\\" + longName + ".kz"}), "C:\\" + longName + ".kz"},
      {"over 260 bytes, wide", WideFileList({L"C:\\" + longWide}), "C:\\" + std::string(300, 'w')},
      {"GBK bytes, narrow, trail byte 5C", FileList({"C:\\" + Bytes("B2 E2 CA D4 81 5C") + ".kz"}),
       "C:\\" + Bytes("B2 E2 CA D4 81 5C") + ".kz"},
      {"Chinese, wide, arrives as GBK", WideFileList({L"C:\\\u6d4b\u8bd5\\\u5305.zip"}),
       "C:\\" + Bytes("B2 E2 CA D4") + "\\" + Bytes("B0 FC") + ".zip"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfferedData data;
    data.Offer(CF_HDROP, c.block);
    RecordingTarget target(kFilesOnly);
    target.watched = &data;
    DragAndDrop(target, &data, 0, kAll);
    ASSERT_EQ(target.received.size(), 1u);
    EXPECT_EQ(target.received[0].kind, DropKind::kFiles);
    EXPECT_EQ(target.received[0].text, c.expected);
    EXPECT_EQ(target.received[0].outstandingMedia, 0);
  }
}

// Runs under code page 936 and, as drop_target_test_cp1252, under 1252. A character with no
// exact equivalent must arrive as "?", never as the lookalike best-fit mapping would pick:
// U+FF02 as the quotation mark, U+FF3C and U+2215 as the backslash and the slash.
TEST_F(DropTargetTest, DroppedNamesConvertExactlyOrShowAQuestionMark) {
  const bool western = ::GetACP() == 1252;
  ASSERT_TRUE(western || ::GetACP() == 936) << "code page " << ::GetACP();
  struct Case {
    const wchar_t* wide;
    std::string gbk;      // code page 936
    std::string western;  // code page 1252
  } cases[] = {
      {L"C:\\a\uFF02&mkdir pwned&\uFF02.zip",
       "C:\\a" + Bytes("A3 A2") + "&mkdir pwned&" + Bytes("A3 A2") + ".zip",
       "C:\\a?&mkdir pwned&?.zip"},
      {L"C:\\dl\\up\uFF3C..\uFF3Cx.kz",
       "C:\\dl\\up" + Bytes("A3 DC") + ".." + Bytes("A3 DC") + "x.kz", "C:\\dl\\up?..?x.kz"},
      {L"C:\\dl\\a\u2215b.zip", "C:\\dl\\a" + Bytes("A8 4D") + "b.zip", "C:\\dl\\a?b.zip"},
      {L"C:\\dl\\soft\u00ADhyphen.zip", "C:\\dl\\soft?hyphen.zip",
       "C:\\dl\\soft" + Bytes("AD") + "hyphen.zip"},
      {L"C:\\dl\\\u00C0.kz", "C:\\dl\\?.kz", "C:\\dl\\" + Bytes("C0") + ".kz"},
      {L"C:\\dl\\\u5305.kz", "C:\\dl\\" + Bytes("B0 FC") + ".kz", "C:\\dl\\?.kz"},
      {L"C:\\dl\\\uAC00.kz", "C:\\dl\\?.kz", "C:\\dl\\?.kz"},
  };
  for (const Case& c : cases) {
    const std::string& expected = western ? c.western : c.gbk;
    SCOPED_TRACE(expected);
    OfferedData data;
    data.Offer(CF_HDROP, WideFileList({c.wide}));
    RecordingTarget target(kFilesOnly);
    DragAndDrop(target, &data, 0, kAll);
    ASSERT_EQ(target.received.size(), 1u);
    EXPECT_EQ(target.received[0].text, expected);
  }
  // HTML goes through the same code page without best-fit mapping.
  OfferedData html;
  html.Offer(kHtml, "\xEF\xBC\x82<a>\xC3\x80");  // U+FF02, U+00C0
  RecordingTarget target(Accepting({DropKind::kHtml}));
  DragAndDrop(target, &html, 0, kAll);
  ASSERT_EQ(target.received.size(), 1u);
  EXPECT_EQ(target.received[0].text, western ? "?<a>" + Bytes("C0") : Bytes("A3 A2") + "<a>?");
}

TEST_F(DropTargetTest, MalformedFileListsAreNotRead) {
  std::string pastTheEnd = FileList({"a"});
  pastTheEnd[0] = 100;  // pFiles beyond the block
  std::string unterminated = FileList({"abc"});
  unterminated.resize(unterminated.size() - 2);  // neither the entry's nor the list's NUL
  std::string wideUnterminated = WideFileList({L"abc"});
  wideUnterminated.resize(wideUnterminated.size() - 4);
  const std::string tooShort(8, '\0');
  for (const std::string& block : {pastTheEnd, unterminated, wideUnterminated, tooShort}) {
    OfferedData data;
    data.Offer(CF_HDROP, block);
    RecordingTarget target(kFilesOnly);
    const DropOutcome outcome = DragAndDrop(target, &data, 0, kAll);
    EXPECT_EQ(outcome.drop, E_FAIL);
    EXPECT_EQ(outcome.dropEffect, DROPEFFECT_COPY);
    EXPECT_TRUE(target.received.empty());
    EXPECT_EQ(data.Outstanding(), 0);
  }
}

TEST_F(DropTargetTest, AKindThatCannotBeReadDoesNotStopTheLaterKinds) {
  struct Case {
    const char* name;
    std::vector<CLIPFORMAT> broken;
    std::vector<DropKind> expected;
  } cases[] = {
      {"text broken", {CF_TEXT}, {DropKind::kUrl, DropKind::kFiles}},
      {"URL broken", {kUrl}, {DropKind::kText, DropKind::kFiles}},
      {"files broken", {CF_HDROP}, {DropKind::kText, DropKind::kUrl}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OfferedData data;
    data.Offer(CF_TEXT, "t");
    data.Offer(kUrl, "http://u");
    data.Offer(CF_HDROP, FileList({"f"}));
    for (CLIPFORMAT format : c.broken) data.Break(format);
    RecordingTarget target(kEverything);
    const DropOutcome outcome = DragAndDrop(target, &data, 0, kAll);
    EXPECT_EQ(outcome.drop, E_FAIL);
    EXPECT_EQ(outcome.dropEffect, DROPEFFECT_COPY);
    EXPECT_EQ(Kinds(target.received), c.expected);
  }
}

TEST_F(DropTargetTest, SettingsAreReadAndWrittenByNumber) {
  RecordingTarget target(Accepting({DropKind::kUrl}));
  const bool expected[] = {false, false, true, false};
  for (int number = 0; number < 4; ++number) EXPECT_EQ(target.Setting(number), expected[number]);
  for (int number : {-1, 4, 100}) {
    target.SetSetting(number, true);
    EXPECT_FALSE(target.Setting(number));
  }
  target.SetSetting(3, true);
  target.SetSetting(2, false);
  EXPECT_TRUE(target.Setting(3));
  EXPECT_FALSE(target.Setting(2));

  OfferedData data;
  data.Offer(kUrl, "http://u");
  data.Offer(CF_HDROP, FileList({"f"}));
  DragAndDrop(target, &data, 0, kAll);
  EXPECT_EQ(Kinds(target.received), std::vector<DropKind>{DropKind::kFiles});
}

TEST_F(DropTargetTest, ReferenceCountingKeepsTheObject) {
  RecordingTarget target(kFilesOnly);
  EXPECT_EQ(target.AddRef(), 2u);
  EXPECT_EQ(target.Release(), 1u);

  struct Case {
    const char* name;
    IID id;
    bool answered;
  } cases[] = {
      {"IUnknown", IID_IUnknown, true},
      {"IDropTarget", IID_IDropTarget, true},
      {"IDataObject", IID_IDataObject, false},
      {"IDropSource", IID_IDropSource, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* object = reinterpret_cast<void*>(1);
    const HRESULT result = target.QueryInterface(c.id, &object);
    EXPECT_EQ(result, c.answered ? S_OK : E_NOINTERFACE);
    EXPECT_EQ(object,
              c.answered ? static_cast<void*>(static_cast<IDropTarget*>(&target)) : nullptr);
    if (c.answered) {
      EXPECT_EQ(target.Release(), 1u);  // the answer added one
    }
  }
}

// An owned target that reports its own end and can run something inside a delivery.
class OwnedTarget final : public OleDropTarget {
 public:
  OwnedTarget(const DropSettings& settings, bool& freed) : OleDropTarget(settings), freed_(freed) {}
  ~OwnedTarget() override { freed_ = true; }

  std::vector<DropKind> received;
  std::function<void()> duringDelivery;

 protected:
  void Deliver(DropKind kind, Text&) override {
    received.push_back(kind);
    if (duringDelivery) duringDelivery();
  }

 private:
  bool& freed_;
};

TEST_F(DropTargetTest, TheOwnersReferenceEndsTheObjectOnlyAfterThePlatformsReferences) {
  bool freed = false;
  DropTargetOwner<OwnedTarget> owner(new OwnedTarget(kFilesOnly, freed));
  IDropTarget* platform = owner.get();
  EXPECT_EQ(platform->AddRef(), 2u);  // as the platform holds it during a call
  owner.reset();
  EXPECT_FALSE(freed);
  EXPECT_EQ(platform->DragLeave(), S_OK);  // still a working object
  EXPECT_EQ(platform->Release(), 0u);
  EXPECT_TRUE(freed);

  // Releases down to the owner's reference never free it.
  freed = false;
  owner.reset(new OwnedTarget(kFilesOnly, freed));
  owner->AddRef();
  owner->Release();
  EXPECT_FALSE(freed);
  owner.reset();
  EXPECT_TRUE(freed);
}

TEST_F(DropTargetTest, AnOwnerThatLetsGoDuringADropGetsNoFurtherKinds) {
  OfferedData data;
  data.Offer(CF_TEXT, "t");
  data.Offer(kUrl, "http://u");
  data.Offer(CF_HDROP, FileList({"f"}));
  bool freed = false;
  DropTargetOwner<OwnedTarget> owner(new OwnedTarget(kEverything, freed));
  OwnedTarget* target = owner.get();
  std::vector<DropKind> received;
  target->duringDelivery = [&] {
    received = target->received;
    owner.reset();  // the handler ended the unit
  };
  DWORD effect = kAll;
  ASSERT_EQ(target->DragEnter(&data, 0, kPoint, &effect), S_OK);
  EXPECT_EQ(target->Drop(&data, 0, kPoint, &effect), E_FAIL);
  EXPECT_TRUE(freed);  // by Drop's own last reference
  EXPECT_EQ(received, std::vector<DropKind>{DropKind::kText});
  EXPECT_EQ(data.HandedOut(), 1);  // the text only: the URL and the files were never read
  EXPECT_EQ(data.Outstanding(), 0);
}

class PlainWindow {
 public:
  PlainWindow()
      : hwnd_(::CreateWindowExA(0, "STATIC", "drop", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr)) {}
  ~PlainWindow() {
    if (::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
  }
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_;
};

bool Registered(HWND window) { return ::GetPropA(window, "OleDropTargetInterface") != nullptr; }

TEST_F(DropTargetTest, RegistrationHappensOnceAndSticksEvenWhenItFailed) {
  PlainWindow first, second;
  {
    RecordingTarget target(kFilesOnly);
    EXPECT_TRUE(target.Register(first.get()));
    EXPECT_TRUE(Registered(first.get()));
    EXPECT_FALSE(target.Register(first.get()));
    EXPECT_FALSE(target.Register(second.get()));
    EXPECT_EQ(target.registered_window(), first.get());
    EXPECT_TRUE(Registered(first.get()));  // the first registration is untouched
    EXPECT_FALSE(Registered(second.get()));
    RecordingTarget other(kFilesOnly);
    EXPECT_EQ(::RegisterDragDrop(first.get(), &other), DRAGDROP_E_ALREADYREGISTERED);
  }
  // The target revokes its registration when it goes.
  EXPECT_FALSE(Registered(first.get()));

  {
    RecordingTarget target(kFilesOnly);
    EXPECT_FALSE(target.Register(nullptr));  // a null window is not stored
    EXPECT_EQ(target.registered_window(), nullptr);
    EXPECT_TRUE(target.Register(first.get()));
  }
  {
    RecordingTarget holder(kFilesOnly), target(kFilesOnly);
    ASSERT_TRUE(holder.Register(first.get()));
    EXPECT_FALSE(target.Register(first.get()));   // already registered by someone else
    EXPECT_FALSE(target.Register(second.get()));  // stuck with the stored window
    EXPECT_FALSE(Registered(second.get()));
  }
  {
    HWND gone = PlainWindow().get();
    RecordingTarget target(kFilesOnly);
    EXPECT_FALSE(target.Register(gone));
    EXPECT_EQ(target.registered_window(), gone);
    EXPECT_FALSE(target.Register(first.get()));
  }
}

// Without COM there is neither a registration nor a drag-image helper; drops still work.
TEST(DropTargetWithoutOle, RegistrationFailsQuietlyAndDropsWorkWithoutTheHelper) {
  PlainWindow window;
  RecordingTarget target(kFilesOnly);
  EXPECT_FALSE(target.has_drag_image_helper());
  EXPECT_FALSE(target.Register(window.get()));
  EXPECT_FALSE(target.Register(window.get()));
  EXPECT_FALSE(Registered(window.get()));

  OfferedData data;
  data.Offer(CF_HDROP, FileList({"C:\\a.kz"}));
  const DropOutcome outcome = DragAndDrop(target, &data, MK_SHIFT, kAll);
  EXPECT_EQ(outcome.dropEffect, static_cast<DWORD>(DROPEFFECT_MOVE));
  ASSERT_EQ(target.received.size(), 1u);
  EXPECT_EQ(target.received[0].text, "C:\\a.kz");
}

}  // namespace
}  // namespace quillet
