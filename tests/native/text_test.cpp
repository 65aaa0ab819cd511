// The text operations at the edges their callers depend on: positions, limits, case, GBK; and
// the path split built on them.
#include "base/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "base/path.h"
#include "tests/native/test_bytes.h"

namespace quillet {
namespace {

using testing::Bytes;
constexpr std::nullopt_t kNone = std::nullopt;
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

// Texts are compared by bytes; a null or empty result both read as "".
std::string Str(const Text& text) { return std::string(text.view()); }

TEST(TextCut, LeftTextCutsAtBytes) {
  struct Case {
    std::string text;
    std::int32_t count;
    std::string expected;
  } cases[] = {
      {"abc", 0, ""},
      {"abc", -1, ""},
      {"abc", kMin32, ""},
      {"abc", 5, "abc"},
      {"abc", 2, "ab"},
      {"", 3, ""},
      {Bytes("D5 5C 61"), 1, Bytes("D5")},  // a cut may split a double-byte character
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " / " + std::to_string(c.count));
    const Text result = LeftText(c.text.c_str(), c.count);
    EXPECT_EQ(Str(result), c.expected);
    EXPECT_EQ(result.empty(), c.expected.empty());
  }
}

TEST(TextCut, MidTextClampsStartAndCount) {
  struct Case {
    std::int32_t start;
    std::int32_t count;
    std::string expected;
  } cases[] = {
      {0, 5, ""},  {2, 99, "bc"},      {4, 1, ""},      {1, 0, ""},      {1, -3, ""},
      {3, 1, "c"}, {1, kMax32, "abc"}, {kMax32, 1, ""}, {kMin32, 5, ""}, {-1, 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.start) + " / " + std::to_string(c.count));
    EXPECT_EQ(Str(MidText("abc", c.start, c.count)), c.expected);
  }
  EXPECT_EQ(Str(MidText(Bytes("D5 5C 2E").c_str(), 2, 2)), Bytes("5C 2E"));
  EXPECT_TRUE(MidText({}, 1, 1).empty());
}

TEST(TextSearch, FindLastText) {
  struct Case {
    std::string text;
    std::string sought;
    std::optional<std::int32_t> start;
    bool ignoreCase;
    std::int32_t expected;
  } cases[] = {
      {"C:\\dl\\pack.kz", "\\", kNone, false, 6},
      {"pack.kz", ".", kNone, false, 5},
      {"readme", ".", kNone, false, -1},
      {"", "\\", kNone, false, -1},
      // D5 5C is one character: its second byte is no backslash.
      {Bytes("43 3A 5C D5 5C 2E 6B 7A"), "\\", kNone, false, 3},
      {Bytes("43 3A 5C D5 5C 5C 70"), "\\", kNone, false, 6},
      {Bytes("81 41"), "A", kNone, false, -1},  // a trail byte never starts a match
      {"xAa", "A", kNone, false, 2},
      {"xAa", "A", kNone, true, 3},
      {"xAa", "a", kNone, true, 3},
      {"xaA", "A", kNone, false, 3},
      // The ignore-case fold also folds a trail byte in A-Z.
      {Bytes("81 61"), Bytes("81 41"), kNone, true, 1},
      {Bytes("81 61"), Bytes("81 41"), kNone, false, -1},
      {Bytes("81 40"), Bytes("81 60"), kNone, true, -1},  // only A-Z fold, not @ and `
      // The start limits the region to the first start - 1 bytes.
      {"a\\b\\c", "\\", 4, false, 2},
      {"a\\b\\c", "\\", 5, false, 4},
      {"a\\b\\c", "\\", 1, false, -1},
      {"a\\b\\c", "\\", 0, false, -1},
      {"a\\b\\c", "\\", kMin32, false, -1},
      {"a\\b\\c", "\\", 99, false, 4},
      {"a\\b\\c", "\\", kMax32, false, 4},
      {"abcabc", "bc", 6, false, 2},  // the second bc ends outside the region
      {"abcabc", "bc", 7, false, 5},
      // The empty sought text is found at 1 when the region holds any byte.
      {"abc", "", kNone, false, 1},
      {"abc", "", 1, false, -1},
      {"abc", "", 2, false, 1},
      {"", "", kNone, false, -1},
      // Overlapping occurrences: the last one wins.
      {"aaa", "aa", kNone, false, 2},
      {"abc", "abcd", kNone, false, -1},
      // A final lone lead byte: found as itself, never read past.
      {Bytes("61 62 81"), Bytes("81"), kNone, false, 3},
      {Bytes("61 62 81"), Bytes("62 81"), kNone, false, 2},
      {Bytes("61 81"), Bytes("81 61"), kNone, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.sought);
    EXPECT_EQ(FindLastText(c.text.c_str(), c.sought.c_str(), c.start, c.ignoreCase), c.expected);
  }
}

TEST(TextPath, SplitPathAtTheLastBackslashThatIsNoTrailByte) {
  struct Case {
    std::string path, folder, fileName, enterable;
  } cases[] = {
      {"C:\\dl\\Quillet.exe", "C:\\dl", "Quillet.exe", "C:\\dl"},
      {"C:\\Quillet.exe", "C:", "Quillet.exe", "C:\\"},  // the drive's root, not its current folder
      {"Quillet.exe", "", "Quillet.exe", ""},
      {"\\\\host\\share\\q.exe", "\\\\host\\share", "q.exe", "\\\\host\\share"},
      // D5 5C is one character: the folder ends before it, and it starts the name.
      {Bytes("43 3A 5C D5 5C 2E 65 78 65"), "C:", Bytes("D5 5C 2E 65 78 65"), "C:\\"},
      {Bytes("43 3A 5C D5 5C 5C 71"), Bytes("43 3A 5C D5 5C"), "q", Bytes("43 3A 5C D5 5C")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const PathParts parts = SplitPath(c.path.c_str());
    EXPECT_EQ(Str(parts.folder), c.folder);
    EXPECT_EQ(Str(parts.fileName), c.fileName);
    EXPECT_EQ(Str(EnterableFolder(parts.folder)), c.enterable);
  }
}

TEST(TextReplace, ReplaceText) {
  constexpr bool kMatchCase = true;
  constexpr bool kIgnoreCase = false;
  struct Case {
    std::string text;
    std::string sought;
    std::string replacement;
    std::optional<std::int32_t> start;
    std::optional<std::int32_t> limit;
    bool matchCase;
    std::string expected;
  } cases[] = {
      {"pack.kz.KZ", ".kz", "", 1, kNone, kIgnoreCase, "pack"},
      {"pack.kz.KZ", ".kz", "", 1, kNone, kMatchCase, "pack.KZ"},
      {"pack.KZ.kz", ".Kz", "", kNone, kNone, kIgnoreCase, "pack"},
      {".KZ", ".kz", "", 1, kNone, kIgnoreCase, ""},
      // Limits: absent or negative means all, 0 means none.
      {"aaaa", "aa", "b", kNone, kNone, kMatchCase, "bb"},
      {"aaaa", "aa", "b", kNone, 1, kMatchCase, "baa"},
      {"aaaa", "aa", "b", kNone, 0, kMatchCase, "aaaa"},
      {"aaaa", "aa", "b", kNone, -1, kMatchCase, "bb"},
      {"aaaa", "aa", "b", kNone, kMin32, kMatchCase, "bb"},
      {"aaaa", "aa", "b", kNone, 9, kMatchCase, "bb"},
      {"aaa", "aa", "b", kNone, kNone, kMatchCase, "ba"},  // left to right, no overlap
      // The start skips a prefix that is copied and never searched.
      {"a.kz.kz", ".kz", "", 3, kNone, kMatchCase, "a.kz"},
      {"a.kz.kz", ".kz", "", 2, kNone, kMatchCase, "a"},
      {"a.kz.kz", ".kz", "", 0, kNone, kMatchCase, "a"},
      {"a.kz.kz", ".kz", "", kMin32, kNone, kMatchCase, "a"},
      {"a.kz", ".kz", "", 5, kNone, kMatchCase, "a.kz"},
      {"a.kz", ".kz", "", kMax32, kNone, kMatchCase, "a.kz"},
      {"abc", "", "x", kNone, kNone, kMatchCase, "abc"},
      {"", "a", "x", kNone, kNone, kMatchCase, ""},
      // The replacement is never searched again.
      {"ab", "a", "aa", kNone, kNone, kMatchCase, "aab"},
      {"abab", "ab", "", kNone, kNone, kMatchCase, ""},
      // Matches only at character starts; a trail byte 5C is no backslash.
      {Bytes("D5 5C 5C"), "\\", "/", kNone, kNone, kMatchCase, Bytes("D5 5C 2F")},
      {Bytes("81 61 2E"), Bytes("81 41"), "x", kNone, kNone, kIgnoreCase, "x."},
      {Bytes("81 61 2E"), Bytes("81 41"), "x", kNone, kNone, kMatchCase, Bytes("81 61 2E")},
      // A start inside a double-byte character steps from there.
      {Bytes("D5 5C 5C"), "\\", "/", 2, kNone, kMatchCase, Bytes("D5 2F 2F")},
      // A final lone lead byte is copied alone: no NUL, no read past the end.
      {Bytes("61 81"), "z", "y", kNone, kNone, kMatchCase, Bytes("61 81")},
      {Bytes("81"), Bytes("81"), "y", kNone, kNone, kMatchCase, "y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.sought + " / " + c.replacement);
    const Text result = ReplaceText(c.text.c_str(), c.sought.c_str(), c.replacement.c_str(),
                                    c.start, c.limit, c.matchCase);
    EXPECT_EQ(Str(result), c.expected);
    EXPECT_EQ(result.empty(), c.expected.empty());
  }
}

TEST(TextReplace, WorkingBufferGrowsPastTheInput) {
  const std::string input(1000, 'x');
  std::string expected;
  for (int i = 0; i < 1000; ++i) expected += "yyy";
  EXPECT_EQ(Str(ReplaceText(input.c_str(), "x", "yyy", kNone, kNone, true)), expected);
}

TEST(TextJoin, ConcatText) {
  EXPECT_TRUE(ConcatText({TextView(), TextView(), ""}).empty());
  EXPECT_EQ(Str(ConcatText({"C:\\dl\\", "pack"})), "C:\\dl\\pack");
  EXPECT_EQ(Str(ConcatText({"C:\\dl\\", TextView(), "pack.exe"})), "C:\\dl\\pack.exe");
  EXPECT_EQ(Str(ConcatText({"copy /b ", "\"", "a", "\"", "+", "\"", "b", "\""})),
            "copy /b \"a\"+\"b\"");
  const Text piece("临时");
  EXPECT_EQ(Str(ConcatText({piece, piece})), std::string("临时临时"));
}

TEST(TextCompare, CompareText) {
  struct Case {
    TextView a;
    TextView b;
    std::int32_t expected;
  } cases[] = {
      {TextView(), "", 0},   {"", TextView(), 0}, {TextView(), TextView(), 0},
      {TextView(), "a", -1}, {"a", "", 1},        {"zi", "zip", -1},
      {"zip", "zi", 1},      {"kz", "kz", 0},     {"kz", "KZ", 1},
      {"KZ", "kz", -1},      {"a", "\x81", -1},   {"\x81", "a", 1},  // unsigned bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a.view()) + " / " + std::string(c.b.view()));
    EXPECT_EQ(CompareText(c.a, c.b), c.expected);
  }
}

TEST(TextBytes, TextToBytesLeavesOutTheNul) {
  const ByteBuffer bytes = TextToBytes("copy /b ");
  ASSERT_EQ(bytes.size(), 8u);
  EXPECT_EQ(bytes.data()[7], ' ');
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()), "copy /b ");
  EXPECT_TRUE(TextToBytes("").empty());
  EXPECT_EQ(TextToBytes(TextView()).data(), nullptr);
}

TEST(TextNumbers, TruncateToIntegerTowardZero) {
  struct Case {
    double value;
    std::int64_t expected;
  } cases[] = {
      {7.0, 7},
      {-0.5, 0},
      {2.9, 2},
      {-2.9, -2},
      {1099511627776.75, 1099511627776},  // beyond 32 bits: the caller takes the low 32
      {1e300, std::numeric_limits<std::int64_t>::max()},
      {-1e300, std::numeric_limits<std::int64_t>::min()},
      {std::nan(""), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(TruncateToInteger(c.value), c.expected);
  }
}

TEST(TextType, CopiesAreIndependentAndEmptyHoldsNoBlock) {
  Text original("abc");
  Text copy = original;
  EXPECT_NE(copy.c_str(), original.c_str());
  original.Reset();
  EXPECT_EQ(Str(copy), "abc");
  EXPECT_TRUE(original.empty());
  EXPECT_STREQ(original.c_str(), "");

  EXPECT_TRUE(Text("").empty());
  EXPECT_EQ(Str(Text(std::string_view("ab\0cd", 5))), "ab");
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)).size(), 2);

  Text self("self");
  const Text& alias = self;
  self = alias;
  EXPECT_EQ(Str(self), "self");

  ByteBuffer buffer = TextToBytes("xyz");
  ByteBuffer moved = std::move(buffer);
  EXPECT_EQ(moved.size(), 3u);
  EXPECT_TRUE(buffer.empty());  // NOLINT: the moved-from buffer is empty by contract
}

}  // namespace
}  // namespace quillet
