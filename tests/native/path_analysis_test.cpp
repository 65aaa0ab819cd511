// The split of a dropped text into the converter's globals, and which drops are accepted.
#include "app/path_analysis.h"

#include <gtest/gtest.h>

#include <string>

#include "app/globals.h"
#include "tests/native/test_bytes.h"

namespace quillet {
namespace {

using testing::Bytes;

std::string Str(const Text& text) { return std::string(text.view()); }

struct Pieces {
  std::int32_t slashPos;
  std::string fileName;
  std::int32_t dotPos;
  std::string extension;
  std::string folderPart;
  std::string baseName;
};

void ExpectGlobalsHold(const std::string& dropped, const Pieces& expected) {
  EXPECT_EQ(Str(DroppedPath), dropped);
  EXPECT_EQ(SlashPos, expected.slashPos);
  EXPECT_EQ(Str(FileName), expected.fileName);
  EXPECT_EQ(DotPos, expected.dotPos);
  EXPECT_EQ(Str(Extension), expected.extension);
  EXPECT_EQ(Str(FolderPart), expected.folderPart);
  EXPECT_EQ(Str(BaseName), expected.baseName);
}

TEST(PathAnalysis, SplitsAndDecides) {
  // A GBK character whose second byte is 0x5C, the backslash.
  const std::string wide = Bytes("D5 5C");
  // Code page 1252 has no two-byte characters; GBK's begin with 0x81 to 0xFE.
  const LeadBytes singleByte;
  LeadBytes gbk;
  for (std::size_t byte = 0x81; byte <= 0xFE; ++byte) gbk.set(byte);
  struct Case {
    std::string dropped;
    Pieces expected;
    bool accepted;
    LeadBytes leadBytes = HighBitLeadBytes();
  } cases[] = {
      {"C:\\dl\\pack.kz", {6, "pack.kz", 5, "kz", "C:\\dl\\", "pack"}, true},
      {"C:\\dl\\a.tar.zip", {6, "a.tar.zip", 6, "zip", "C:\\dl\\", "a.tar"}, true},
      // Every occurrence of the dotted extension goes, wherever it stands and in any case.
      {"C:\\dl\\my.kz.notes.kz", {6, "my.kz.notes.kz", 12, "kz", "C:\\dl\\", "my.notes"}, true},
      {"C:\\dl\\backup.zipper.zip",
       {6, "backup.zipper.zip", 14, "zip", "C:\\dl\\", "backupper"},
       true},
      {"C:\\dl\\x.KZ.kz", {6, "x.KZ.kz", 5, "kz", "C:\\dl\\", "x"}, true},
      // A folder named like an archive is analysed like a file.
      {"C:\\dl\\folder.zip", {6, "folder.zip", 7, "zip", "C:\\dl\\", "folder"}, true},
      // The extension is compared with exact case.
      {"C:\\dl\\Pack.KZ", {6, "Pack.KZ", 5, "KZ", "C:\\dl\\", "Pack"}, false},
      {"C:\\dl\\Pack.Zip", {6, "Pack.Zip", 5, "Zip", "C:\\dl\\", "Pack"}, false},
      {"C:\\dl\\readme", {6, "readme", -1, "", "C:\\dl\\", "readme"}, false},
      {"C:\\dl\\x.rar", {6, "x.rar", 2, "rar", "C:\\dl\\", "x"}, false},
      {"C:\\dl\\x.", {6, "x.", 2, "", "C:\\dl\\", "x"}, false},
      // Several files: every path is followed by CR LF, so the extension ends with it.
      {"C:\\dl\\a.kz\r\nC:\\dl\\b.kz\r\n",
       {18, "b.kz\r\n", 2, "kz\r\n", "C:\\dl\\a.kz\r\nC:\\dl\\", "b"},
       false},
      {"C:\\dl\\", {6, "", -1, "", "C:\\dl\\", ""}, false},
      {"pack.kz", {-1, "", -1, "", "", ""}, false},
      {"", {-1, "", -1, "", "", ""}, false},
      // The backslash inside the double-byte character does not split the path.
      {Bytes("43 3A 5C D5 5C 2E 6B 7A"), {3, wide + ".kz", 3, "kz", "C:\\", wide}, true},
      {"C:\\" + wide + "\\pack.kz", {6, "pack.kz", 5, "kz", "C:\\" + wide + "\\", "pack"}, true},
      {"C:\\dl\\" + wide + ".zip", {6, wide + ".zip", 3, "zip", "C:\\dl\\", wide}, true},
      {"C:\\dl\\" + wide + ".zip", {6, wide + ".zip", 3, "zip", "C:\\dl\\", wide}, true, gbk},
      // Under a single-byte code page "\xE9" (e with an acute accent) is a whole character:
      // it takes neither the dot nor the backslash after it with it.
      {"C:\\caf\xE9\\r\xE9sum\xE9.zip",
       {8, "r\xE9sum\xE9.zip", 7, "zip", "C:\\caf\xE9\\", "r\xE9sum\xE9"},
       true,
       singleByte},
      {"C:\\dl\\x\xE9.kz", {6, "x\xE9.kz", 3, "kz", "C:\\dl\\", "x\xE9"}, true, singleByte},
      // 0x80 begins no GBK character.
      {"C:\\dl\\x\x80.kz", {6, "x\x80.kz", 3, "kz", "C:\\dl\\", "x\x80"}, true, gbk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dropped);
    UseLeadBytes(c.leadBytes);
    EXPECT_EQ(AnalyseDroppedPath(c.dropped.c_str()), c.accepted);
    ExpectGlobalsHold(c.dropped, c.expected);
  }
  UseLeadBytes(HighBitLeadBytes());
}

TEST(PathAnalysis, AbsentTextIsTheEmptyText) {
  EXPECT_FALSE(AnalyseDroppedPath(TextView()));
  ExpectGlobalsHold("", {-1, "", -1, "", "", ""});
  EXPECT_TRUE(DroppedPath.empty());
}

TEST(PathAnalysis, KeepsItsOwnCopyOfTheText) {
  std::string dropped = "C:\\dl\\pack.kz";
  ASSERT_TRUE(AnalyseDroppedPath(dropped.c_str()));
  EXPECT_NE(DroppedPath.c_str(), dropped.c_str());
  dropped.assign("C:\\xx\\other.rar");
  EXPECT_EQ(Str(DroppedPath), "C:\\dl\\pack.kz");
  EXPECT_EQ(Str(BaseName), "pack");

  // Analysing the global's own value again must not read a released block.
  EXPECT_TRUE(AnalyseDroppedPath(DroppedPath));
  ExpectGlobalsHold("C:\\dl\\pack.kz", {6, "pack.kz", 5, "kz", "C:\\dl\\", "pack"});
}

TEST(PathAnalysis, RefusedDropLeavesItsPiecesUntilReleased) {
  ASSERT_TRUE(AnalyseDroppedPath("C:\\dl\\pack.kz"));
  ASSERT_FALSE(AnalyseDroppedPath("D:\\in\\notes.txt"));
  ExpectGlobalsHold("D:\\in\\notes.txt", {6, "notes.txt", 6, "txt", "D:\\in\\", "notes"});

  TempFolder = Text("C:\\Temp\\");
  BatchBytes = TextToBytes("copy /b ");
  ReleaseGlobals();
  for (const Text* text :
       {&TempFolder, &DroppedPath, &FileName, &Extension, &FolderPart, &BaseName}) {
    EXPECT_TRUE(text->empty());
  }
  EXPECT_TRUE(BatchBytes.empty());
}

TEST(PathAnalysis, ReleasingEmptyGlobalsIsHarmless) {
  ReleaseGlobals();
  ReleaseGlobals();
  EXPECT_TRUE(TempFolder.empty());
  EXPECT_TRUE(BatchBytes.empty());
  ASSERT_FALSE(AnalyseDroppedPath("C:\\dl\\x.rar"));  // still usable afterwards
  EXPECT_EQ(Str(BaseName), "x");
}

}  // namespace
}  // namespace quillet
