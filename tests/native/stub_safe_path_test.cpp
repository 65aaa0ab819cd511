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
    {"readme.txt", PathRefusal::none, "readme.txt"},
    {"a/b/c.txt", PathRefusal::none, "a/b/c.txt"},
    {"a\\b\\c.txt", PathRefusal::none, "a/b/c.txt"},
    {"a/./b//c.txt", PathRefusal::none, "a/b/c.txt"},
    {"./a.txt", PathRefusal::none, "a.txt"},
    {"dir/", PathRefusal::none, "dir", true},
    {"dir\\sub\\", PathRefusal::none, "dir/sub", true},
    {"\xE4\xB8\xAD\xE6\x96\x87/\xE8\xAF\xB4\xE6\x98\x8E.txt", PathRefusal::none,
     "\xE4\xB8\xAD\xE6\x96\x87/\xE8\xAF\xB4\xE6\x98\x8E.txt"},
    {".hidden", PathRefusal::none, ".hidden"},
    {"a..b.txt", PathRefusal::none, "a..b.txt"},
    {"...x", PathRefusal::none, "...x"},
    {"CONFIG.SYS", PathRefusal::none, "CONFIG.SYS"},
    {"COM10", PathRefusal::none, "COM10"},
    {"console.log", PathRefusal::none, "console.log"},
    {"LPT", PathRefusal::none, "LPT"},
    {"x/nul-device.txt", PathRefusal::none, "x/nul-device.txt"},
    {"caf\xC3\xA9\xC2\xA0menu", PathRefusal::none,
     "caf\xC3\xA9\xC2\xA0menu"},                                 // no-break space stays
    {"\xE2\x80\x90\xE2\x80\xB0\xE2\x81\xB0", PathRefusal::none,  // neighbours of the refused
     "\xE2\x80\x90\xE2\x80\xB0\xE2\x81\xB0"},
    {"\xEF\xBB\xBE\xEF\xBC\x82", PathRefusal::none, "\xEF\xBB\xBE\xEF\xBC\x82"},

    {"", PathRefusal::empty, nullptr},
    {".", PathRefusal::empty, nullptr},
    {"./", PathRefusal::empty, nullptr},
    {"\xFF\xFEname", PathRefusal::not_utf8, nullptr},
    {"\xC0\xAF..", PathRefusal::not_utf8, nullptr},            // overlong '/'
    {"\xD6\xD0\xCE\xC4.txt", PathRefusal::not_utf8, nullptr},  // GBK bytes never decoded
    {"/etc/passwd", PathRefusal::absolute, nullptr},
    {"\\Windows\\win.ini", PathRefusal::absolute, nullptr},
    {"C:/x.txt", PathRefusal::drive_letter, nullptr},
    {"c:x.txt", PathRefusal::drive_letter, nullptr},
    {"Z:\\x.txt", PathRefusal::drive_letter, nullptr},
    {"\\\\server\\share\\x", PathRefusal::unc, nullptr},
    {"//server/share/x", PathRefusal::unc, nullptr},
    {"\\\\?\\C:\\x", PathRefusal::unc, nullptr},
    {"\\\\.\\PhysicalDrive0", PathRefusal::unc, nullptr},
    {"/\\mixed", PathRefusal::unc, nullptr},
    {"..", PathRefusal::parent_reference, nullptr},
    {"../x", PathRefusal::parent_reference, nullptr},
    {"a/../../x", PathRefusal::parent_reference, nullptr},
    {"a/..", PathRefusal::parent_reference, nullptr},
    {"a\\..\\..\\x", PathRefusal::parent_reference, nullptr},
    {"a/b/../c", PathRefusal::parent_reference, nullptr},
    {"file.txt:stream", PathRefusal::stream_colon, nullptr},
    {"dir/x::$DATA", PathRefusal::stream_colon, nullptr},
    {"a/C:x", PathRefusal::stream_colon, nullptr},
    {"ask?.txt", PathRefusal::invalid_character, nullptr},
    {"star*.txt", PathRefusal::invalid_character, nullptr},
    {"a<b", PathRefusal::invalid_character, nullptr},
    {"a>b", PathRefusal::invalid_character, nullptr},
    {"quote\".txt", PathRefusal::invalid_character, nullptr},
    {"pipe|.txt", PathRefusal::invalid_character, nullptr},
    {"tab\there", PathRefusal::invalid_character, nullptr},
    {"newline\n.txt", PathRefusal::invalid_character, nullptr},
    {"photo\xE2\x80\xAEgpj.exe", PathRefusal::hidden_character, nullptr},  // shows as photoexe.jpg
    {"a\xE2\x80\xAA", PathRefusal::hidden_character, nullptr},             // U+202A
    {"dir/\xE2\x81\xA6x\xE2\x81\xA9/y", PathRefusal::hidden_character, nullptr},  // U+2066, U+2069
    {"\xD8\x9Cx", PathRefusal::hidden_character, nullptr},                        // U+061C
    {"zero\xE2\x80\x8Bwidth", PathRefusal::hidden_character, nullptr},            // U+200B
    {"rlm\xE2\x80\x8F", PathRefusal::hidden_character, nullptr},                  // U+200F
    {"\xEF\xBB\xBF"
     "bom.txt",
     PathRefusal::hidden_character, nullptr},                    // U+FEFF
    {"c1\xC2\x80", PathRefusal::hidden_character, nullptr},      // U+0080
    {"csi\xC2\x9B[2J", PathRefusal::hidden_character, nullptr},  // U+009B
    // What the Unicode Character Database calls Cc, Cf, Zl, Zp or default-ignorable: blanks,
    // line breaks and nothing at all, whatever block they come from.
    {"del\x7F", PathRefusal::hidden_character, nullptr},             // U+007F
    {"soft\xC2\xADhyphen", PathRefusal::hidden_character, nullptr},  // U+00AD
    {"cgj\xCD\x8F", PathRefusal::hidden_character, nullptr},         // U+034F
    {"\xD8\x80number", PathRefusal::hidden_character, nullptr},      // U+0600
    {"\xE1\x85\x9F"
     "filler",
     PathRefusal::hidden_character, nullptr},                     // U+115F
    {"mvs\xE1\xA0\x8E", PathRefusal::hidden_character, nullptr},  // U+180E
    {"line\xE2\x80\xA8"
     "break.txt",
     PathRefusal::hidden_character, nullptr},  // U+2028
    {"para\xE2\x80\xA9"
     "break.txt",
     PathRefusal::hidden_character, nullptr},                            // U+2029
    {"word\xE2\x81\xA0joiner", PathRefusal::hidden_character, nullptr},  // U+2060
    {"iss\xE2\x81\xAA", PathRefusal::hidden_character, nullptr},         // U+206A
    {"\xE3\x85\xA4.exe", PathRefusal::hidden_character, nullptr},        // U+3164
    {"vs16\xEF\xB8\x8F", PathRefusal::hidden_character, nullptr},        // U+FE0F
    {"half\xEF\xBE\xA0width", PathRefusal::hidden_character, nullptr},   // U+FFA0
    {"ann\xEF\xBF\xB9", PathRefusal::hidden_character, nullptr},         // U+FFF9
    {"music\xF0\x9D\x85\xB3", PathRefusal::hidden_character, nullptr},   // U+1D173
    {"tag\xF3\xA0\x81\x81", PathRefusal::hidden_character, nullptr},     // U+E0041
    {"\xE4\xB8\xAD\xE3\x80\x80\xE6\x96\x87.txt", PathRefusal::none,
     "\xE4\xB8\xAD\xE3\x80\x80\xE6\x96\x87.txt"},  // an ideographic space is a visible blank
    {"CON", PathRefusal::device_name, nullptr},
    {"con", PathRefusal::device_name, nullptr},
    {"Con.txt", PathRefusal::device_name, nullptr},
    {"sub/NUL.tar.gz", PathRefusal::device_name, nullptr},
    {"aux .txt", PathRefusal::device_name, nullptr},
    {"PRN", PathRefusal::device_name, nullptr},
    {"com1", PathRefusal::device_name, nullptr},
    {"COM9.log", PathRefusal::device_name, nullptr},
    {"COM0", PathRefusal::device_name, nullptr},
    {"lpt1", PathRefusal::device_name, nullptr},
    {"LPT9.txt", PathRefusal::device_name, nullptr},
    {"COM\xC2\xB9", PathRefusal::device_name, nullptr},
    {"lpt\xC2\xB3.txt", PathRefusal::device_name, nullptr},
    {"CONIN$", PathRefusal::device_name, nullptr},
    {"conout$.txt", PathRefusal::device_name, nullptr},
    {"dir./x", PathRefusal::trailing_dot_or_space, nullptr},
    {"name.", PathRefusal::trailing_dot_or_space, nullptr},
    {"...", PathRefusal::trailing_dot_or_space, nullptr},
    {"space /x", PathRefusal::trailing_dot_or_space, nullptr},
    {"x/name ", PathRefusal::trailing_dot_or_space, nullptr},
};

TEST(StubSafePath, TableOfNames) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SafePath path = check_entry_path(c.name);
    EXPECT_EQ(path.refusal, c.refusal) << describe(path.refusal);
    if (c.refusal == PathRefusal::none) {
      EXPECT_EQ(path.joined(), c.joined);
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
  EXPECT_TRUE(check_entry_path(cjk_255).ok());
  EXPECT_EQ(check_entry_path(cjk_255 + "\xE4\xB8\xAD").refusal, PathRefusal::too_long);

  std::string emoji_127;
  for (int i = 0; i < 127; ++i) emoji_127 += "\xF0\x9F\x98\x80";
  EXPECT_TRUE(check_entry_path(emoji_127 + "a").ok());
  EXPECT_EQ(check_entry_path(emoji_127 + "ab").refusal, PathRefusal::too_long);
  EXPECT_TRUE(check_entry_path("dir/" + std::string(255, 'x')).ok());
  EXPECT_EQ(check_entry_path("dir/" + std::string(256, 'x')).refusal, PathRefusal::too_long);
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
          SafePath path = check_entry_path(name);
          if (!path.ok()) continue;
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
