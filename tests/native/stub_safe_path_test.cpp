// Entry-name safety: every way a name could leave the destination or reach a device.
#include <gtest/gtest.h>

#include "stub/core/safe_path.h"

namespace kzsfx {
namespace {

struct Case {
  const char* name;
  PathRefusal refusal;
  const char* joined;  // when accepted
  bool directory = false;
};

const Case cases[] = {
    {"readme.txt", PathRefusal::kNone, "readme.txt"},
    {"a/b/c.txt", PathRefusal::kNone, "a/b/c.txt"},
    {"a\\b\\c.txt", PathRefusal::kNone, "a/b/c.txt"},
    {"a/./b//c.txt", PathRefusal::kNone, "a/b/c.txt"},
    {"./a.txt", PathRefusal::kNone, "a.txt"},
    {"dir/", PathRefusal::kNone, "dir", true},
    {"dir\\sub\\", PathRefusal::kNone, "dir/sub", true},
    {"\xE4\xB8\xAD\xE6\x96\x87/\xE8\xAF\xB4\xE6\x98\x8E.txt", PathRefusal::kNone,
     "\xE4\xB8\xAD\xE6\x96\x87/\xE8\xAF\xB4\xE6\x98\x8E.txt"},
    {".hidden", PathRefusal::kNone, ".hidden"},
    {"a..b.txt", PathRefusal::kNone, "a..b.txt"},
    {"...x", PathRefusal::kNone, "...x"},
    {"CONFIG.SYS", PathRefusal::kNone, "CONFIG.SYS"},
    {"COM10", PathRefusal::kNone, "COM10"},
    {"console.log", PathRefusal::kNone, "console.log"},
    {"LPT", PathRefusal::kNone, "LPT"},
    {"x/nul-device.txt", PathRefusal::kNone, "x/nul-device.txt"},
    {"caf\xC3\xA9\xC2\xA0menu", PathRefusal::kNone,
     "caf\xC3\xA9\xC2\xA0menu"},                                  // no-break space stays
    {"\xE2\x80\x90\xE2\x80\xB0\xE2\x81\xB0", PathRefusal::kNone,  // neighbours of the refused
     "\xE2\x80\x90\xE2\x80\xB0\xE2\x81\xB0"},
    {"\xEF\xBB\xBE\xEF\xBC\x82", PathRefusal::kNone, "\xEF\xBB\xBE\xEF\xBC\x82"},

    {"", PathRefusal::kEmpty, nullptr},
    {".", PathRefusal::kEmpty, nullptr},
    {"./", PathRefusal::kEmpty, nullptr},
    {"\xFF\xFEname", PathRefusal::kNotUtf8, nullptr},
    {"\xC0\xAF..", PathRefusal::kNotUtf8, nullptr},            // overlong '/'
    {"\xD6\xD0\xCE\xC4.txt", PathRefusal::kNotUtf8, nullptr},  // GBK bytes never decoded
    {"/etc/passwd", PathRefusal::kAbsolute, nullptr},
    {"\\Windows\\win.ini", PathRefusal::kAbsolute, nullptr},
    {"C:/x.txt", PathRefusal::kDriveLetter, nullptr},
    {"c:x.txt", PathRefusal::kDriveLetter, nullptr},
    {"Z:\\x.txt", PathRefusal::kDriveLetter, nullptr},
    {"\\\\server\\share\\x", PathRefusal::kUnc, nullptr},
    {"//server/share/x", PathRefusal::kUnc, nullptr},
    {"\\\\?\\C:\\x", PathRefusal::kUnc, nullptr},
    {"\\\\.\\PhysicalDrive0", PathRefusal::kUnc, nullptr},
    {"/\\mixed", PathRefusal::kUnc, nullptr},
    {"..", PathRefusal::kParentReference, nullptr},
    {"../x", PathRefusal::kParentReference, nullptr},
    {"a/../../x", PathRefusal::kParentReference, nullptr},
    {"a/..", PathRefusal::kParentReference, nullptr},
    {"a\\..\\..\\x", PathRefusal::kParentReference, nullptr},
    {"a/b/../c", PathRefusal::kParentReference, nullptr},
    {"file.txt:stream", PathRefusal::kStreamColon, nullptr},
    {"dir/x::$DATA", PathRefusal::kStreamColon, nullptr},
    {"a/C:x", PathRefusal::kStreamColon, nullptr},
    {"ask?.txt", PathRefusal::kInvalidCharacter, nullptr},
    {"star*.txt", PathRefusal::kInvalidCharacter, nullptr},
    {"a<b", PathRefusal::kInvalidCharacter, nullptr},
    {"a>b", PathRefusal::kInvalidCharacter, nullptr},
    {"quote\".txt", PathRefusal::kInvalidCharacter, nullptr},
    {"pipe|.txt", PathRefusal::kInvalidCharacter, nullptr},
    {"tab\there", PathRefusal::kInvalidCharacter, nullptr},
    {"newline\n.txt", PathRefusal::kInvalidCharacter, nullptr},
    {"photo\xE2\x80\xAEgpj.exe", PathRefusal::kHiddenCharacter, nullptr},  // shows as photoexe.jpg
    {"a\xE2\x80\xAA", PathRefusal::kHiddenCharacter, nullptr},             // U+202A
    {"dir/\xE2\x81\xA6x\xE2\x81\xA9/y", PathRefusal::kHiddenCharacter, nullptr},  // U+2066, U+2069
    {"\xD8\x9Cx", PathRefusal::kHiddenCharacter, nullptr},                        // U+061C
    {"zero\xE2\x80\x8Bwidth", PathRefusal::kHiddenCharacter, nullptr},            // U+200B
    {"rlm\xE2\x80\x8F", PathRefusal::kHiddenCharacter, nullptr},                  // U+200F
    {"\xEF\xBB\xBF"
     "bom.txt",
     PathRefusal::kHiddenCharacter, nullptr},                    // U+FEFF
    {"c1\xC2\x80", PathRefusal::kHiddenCharacter, nullptr},      // U+0080
    {"csi\xC2\x9B[2J", PathRefusal::kHiddenCharacter, nullptr},  // U+009B
    // What the Unicode Character Database calls Cc, Cf, Zl, Zp or default-ignorable: blanks,
    // line breaks and nothing at all, whatever block they come from.
    {"del\x7F", PathRefusal::kHiddenCharacter, nullptr},             // U+007F
    {"soft\xC2\xADhyphen", PathRefusal::kHiddenCharacter, nullptr},  // U+00AD
    {"cgj\xCD\x8F", PathRefusal::kHiddenCharacter, nullptr},         // U+034F
    {"\xD8\x80number", PathRefusal::kHiddenCharacter, nullptr},      // U+0600
    {"\xE1\x85\x9F"
     "filler",
     PathRefusal::kHiddenCharacter, nullptr},                     // U+115F
    {"mvs\xE1\xA0\x8E", PathRefusal::kHiddenCharacter, nullptr},  // U+180E
    {"line\xE2\x80\xA8"
     "break.txt",
     PathRefusal::kHiddenCharacter, nullptr},  // U+2028
    {"para\xE2\x80\xA9"
     "break.txt",
     PathRefusal::kHiddenCharacter, nullptr},                            // U+2029
    {"word\xE2\x81\xA0joiner", PathRefusal::kHiddenCharacter, nullptr},  // U+2060
    {"iss\xE2\x81\xAA", PathRefusal::kHiddenCharacter, nullptr},         // U+206A
    {"\xE3\x85\xA4.exe", PathRefusal::kHiddenCharacter, nullptr},        // U+3164
    {"vs16\xEF\xB8\x8F", PathRefusal::kHiddenCharacter, nullptr},        // U+FE0F
    {"half\xEF\xBE\xA0width", PathRefusal::kHiddenCharacter, nullptr},   // U+FFA0
    {"ann\xEF\xBF\xB9", PathRefusal::kHiddenCharacter, nullptr},         // U+FFF9
    {"music\xF0\x9D\x85\xB3", PathRefusal::kHiddenCharacter, nullptr},   // U+1D173
    {"tag\xF3\xA0\x81\x81", PathRefusal::kHiddenCharacter, nullptr},     // U+E0041
    {"\xE4\xB8\xAD\xE3\x80\x80\xE6\x96\x87.txt", PathRefusal::kNone,
     "\xE4\xB8\xAD\xE3\x80\x80\xE6\x96\x87.txt"},  // an ideographic space is a visible blank
    {"CON", PathRefusal::kDeviceName, nullptr},
    {"con", PathRefusal::kDeviceName, nullptr},
    {"Con.txt", PathRefusal::kDeviceName, nullptr},
    {"sub/NUL.tar.gz", PathRefusal::kDeviceName, nullptr},
    {"aux .txt", PathRefusal::kDeviceName, nullptr},
    {"PRN", PathRefusal::kDeviceName, nullptr},
    {"com1", PathRefusal::kDeviceName, nullptr},
    {"COM9.log", PathRefusal::kDeviceName, nullptr},
    {"COM0", PathRefusal::kDeviceName, nullptr},
    {"lpt1", PathRefusal::kDeviceName, nullptr},
    {"LPT9.txt", PathRefusal::kDeviceName, nullptr},
    {"COM\xC2\xB9", PathRefusal::kDeviceName, nullptr},
    {"lpt\xC2\xB3.txt", PathRefusal::kDeviceName, nullptr},
    {"CONIN$", PathRefusal::kDeviceName, nullptr},
    {"conout$.txt", PathRefusal::kDeviceName, nullptr},
    {"dir./x", PathRefusal::kTrailingDotOrSpace, nullptr},
    {"name.", PathRefusal::kTrailingDotOrSpace, nullptr},
    {"...", PathRefusal::kTrailingDotOrSpace, nullptr},
    {"space /x", PathRefusal::kTrailingDotOrSpace, nullptr},
    {"x/name ", PathRefusal::kTrailingDotOrSpace, nullptr},
};

TEST(StubSafePath, TableOfNames) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SafePath path = CheckEntryPath(c.name);
    EXPECT_EQ(path.refusal, c.refusal) << Describe(path.refusal);
    if (c.refusal == PathRefusal::kNone) {
      EXPECT_EQ(path.Joined(), c.joined);
      EXPECT_EQ(path.directory, c.directory);
    } else {
      EXPECT_TRUE(path.components.empty());
    }
  }
}

TEST(StubSafePath, ComponentLengthCountsUtf16Units) {
  // 255 units is Windows' limit per component: CJK takes one unit, emoji take two.
  std::string cjk_255;
  for (int i = 0; i < 255; ++i) cjk_255 += "\xE4\xB8\xAD";
  EXPECT_TRUE(CheckEntryPath(cjk_255).Ok());
  EXPECT_EQ(CheckEntryPath(cjk_255 + "\xE4\xB8\xAD").refusal, PathRefusal::kTooLong);

  std::string emoji_127;
  for (int i = 0; i < 127; ++i) emoji_127 += "\xF0\x9F\x98\x80";
  EXPECT_TRUE(CheckEntryPath(emoji_127 + "a").Ok());
  EXPECT_EQ(CheckEntryPath(emoji_127 + "ab").refusal, PathRefusal::kTooLong);
  EXPECT_TRUE(CheckEntryPath("dir/" + std::string(255, 'x')).Ok());
  EXPECT_EQ(CheckEntryPath("dir/" + std::string(256, 'x')).refusal, PathRefusal::kTooLong);
}

TEST(StubSafePath, NoAcceptedNameLeavesTheDestination) {
  // Whatever mixture of separators, dots and prefixes: an accepted name's components are
  // never empty, ".", "..", and never carry a separator or a colon.
  const char* pieces[] = {"/", "\\", ".", "..", "a", "C:", ":", " ", "nul", "x."};
  for (const char* a : pieces)
    for (const char* b : pieces)
      for (const char* c : pieces)
        for (const char* d : pieces) {
          std::string name = std::string(a) + b + c + d;
          SafePath path = CheckEntryPath(name);
          if (!path.Ok()) continue;
          for (const auto& component : path.components) {
            SCOPED_TRACE(name);
            EXPECT_FALSE(component.empty());
            EXPECT_NE(component, ".");
            EXPECT_NE(component, "..");
            EXPECT_EQ(component.find_first_of("/\\:"), std::string::npos);
          }
        }
}

}  // namespace
}  // namespace kzsfx
