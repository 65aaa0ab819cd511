// Sizes, names and problems as the self-extractor shows them.
#include "stub/win32/messages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stub/win32/text.h"

namespace kzsfx::win32 {
namespace {

TEST(StubMessages, FormatsSizesWithOneDecimal) {
  const struct {
    std::uint64_t bytes;
    const wchar_t* shown;
  } cases[] = {
      {0, L"0 字节"},
      {1023, L"1023 字节"},
      {1024, L"1.0 KB"},
      {1536, L"1.5 KB"},
      {1024 + 51, L"1.0 KB"},  // 1.0498: rounds down
      {1024 + 52, L"1.1 KB"},  // 1.0508: rounds up
      {1048524, L"1023.9 KB"},
      {1048575, L"1.0 MB"},  // 1023.999 KB must not show as "1024.0 KB"
      {10u * 1024 * 1024, L"10.0 MB"},
      {5ull * 1024 * 1024 * 1024, L"5.0 GB"},
      {4294967296ull + 429496730ull, L"4.4 GB"},
      {UINT64_MAX, L"16.0 EB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.shown) << c.bytes;
}

TEST(StubMessages, ConvertsUtf8BothWays) {
  const std::string utf8 = "\xe4\xb8\xad\xe6\x96\x87/\xf0\x9f\x98\x80.txt";  // 中文/😀.txt
  EXPECT_EQ(Widen(utf8), L"中文/\U0001F600.txt");
  EXPECT_EQ(Narrow(Widen(utf8)), utf8);
  EXPECT_EQ(Widen(""), L"");
}

TEST(StubMessages, ShowsEntriesWithBackslashes) {
  EXPECT_EQ(ShownEntry("a/b/c.txt"), L"a\\b\\c.txt");
  EXPECT_EQ(ShownEntry("\xe8\xb5\x84\xe6\x96\x99/x"), L"资料\\x");
}

TEST(StubMessages, NamesShowNeitherLineBreaksNorDirectionMarks) {
  // A refused name with CR LF would add a line of its own choosing to the list; one with a
  // right-to-left override would reorder it. Each shows escaped, on its own line.
  ExtractResult result;
  result.refused.push_back(
      {"a\r\nb.txt\xE2\x80\xAE"
       "txt.exe",
       Problem::kRefusedPath,
       PathRefusal::kHiddenCharacter,
       {}});
  result.failed.push_back({"c.txt", Problem::kDataError, PathRefusal::kNone, "at 'd\ne'"});
  const std::wstring problems = DescribeEntryProblems(result);
  EXPECT_NE(problems.find(L"a\\u000D\\u000Ab.txt\\u202Etxt.exe："), std::wstring::npos)
      << Narrow(problems);
  EXPECT_NE(problems.find(L"d\\u000Ae"), std::wstring::npos) << Narrow(problems);
  EXPECT_EQ(problems.find(L'\x202E'), std::wstring::npos);
  size_t lines = 0;
  for (wchar_t c : problems) lines += c == L'\n';
  EXPECT_EQ(lines, 2u);
  EXPECT_EQ(ShownEntry("x/\xE2\x80\x8F"
                       "y"),
            L"x\\\\u200Fy");
}

TEST(StubMessages, ProblemTextCarriesTheDetail) {
  const EntryReport report{"a.txt", Problem::kWriteFailed, PathRefusal::kNone, "disk full"};
  const std::wstring text = DescribeProblem(report);
  EXPECT_NE(text.find(L"disk full"), std::wstring::npos);
  EXPECT_NE(text.find(L"无法写入"), std::wstring::npos);
  const EntryReport refused{"../x", Problem::kRefusedPath, PathRefusal::kParentReference, {}};
  EXPECT_NE(DescribeProblem(refused).find(L".."), std::wstring::npos);
  EXPECT_TRUE(DescribeProblem({"ok", Problem::kNone, PathRefusal::kNone, {}}).empty());
}

TEST(StubMessages, SummariesNameTheFilesThatLostTheDownloadMark) {
  // A file without the mark looks like a trusted local one: every summary says which.
  struct Case {
    const char* name;
    std::vector<EntryReport> warnings;
    std::vector<std::wstring> said;
  };
  const Case cases[] = {
      {"two files",
       {{"a.txt", Problem::kZoneMarkNotSet, PathRefusal::kNone, "denied"},
        {"d/b.exe", Problem::kZoneMarkNotSet, PathRefusal::kNone, "denied"}},
       {L"a.txt", L"d\\b.exe", L"下载标记"}},
      {"no streams, said once",
       {{{}, Problem::kZoneMarksNotKept, PathRefusal::kNone, {}}},
       {L"不能保存下载标记"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExtractResult result;
    result.files = 2;
    result.warnings = c.warnings;
    EXPECT_EQ(result.exit_code(), ExitCode::kWarning);
    for (const std::wstring& summary : {DescribeUnattendedSummary(result, false, L"C:\\out"),
                                        DescribeDialogSummary(result, 0, std::nullopt)}) {
      for (const std::wstring& text : c.said)
        EXPECT_NE(summary.find(text), std::wstring::npos) << Narrow(summary);
    }
  }
}

TEST(StubMessages, AFullDiskIsToldInSizes) {
  const std::wstring full =
      DescribeRunFailure(Fatal::kNotEnoughSpace, "need 3 bytes", 3u << 30, 512u << 20);
  EXPECT_NE(full.find(L"3.0 GB"), std::wstring::npos);
  EXPECT_NE(full.find(L"512.0 MB"), std::wstring::npos);
  // Without a free-space figure, the fault and the detail as they came.
  const std::wstring unknown =
      DescribeRunFailure(Fatal::kNotEnoughSpace, "need 3 bytes", 3, std::nullopt);
  EXPECT_NE(unknown.find(L"need 3 bytes"), std::wstring::npos);
  const std::wstring corrupt =
      DescribeRunFailure(Fatal::kCorruptArchive, "Truncated input", 0, std::nullopt);
  EXPECT_NE(corrupt.find(L"已损坏"), std::wstring::npos);
  EXPECT_NE(corrupt.find(L"Truncated input"), std::wstring::npos);
}

}  // namespace
}  // namespace kzsfx::win32
