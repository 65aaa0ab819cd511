// Splitting and reading the self-extractor's command line, one case per line.
#include "stub/win32/command_line.h"

#include <gtest/gtest.h>

namespace kzsfx::win32 {
namespace {

struct SplitCase {
  const wchar_t* line;
  std::vector<std::wstring> expected;
};

TEST(StubCommandLine, SplitsAsTheCRuntimeDoes) {
  const SplitCase cases[] = {
      {L"", {L""}},
      {L"s.exe", {L"s.exe"}},
      {L"s.exe  -y\t-t  ", {L"s.exe", L"-y", L"-t"}},
      {LR"("C:\Program Files\s.exe" -y)", {LR"(C:\Program Files\s.exe)", L"-y"}},
      // The program name has no escapes; quotes inside it only group.
      {LR"(C:\"Program Files"\s.exe -y)", {LR"(C:\Program Files\s.exe)", L"-y"}},
      {LR"(C:\dir\s.exe\ -y)", {LR"(C:\dir\s.exe\)", L"-y"}},
      {LR"(s.exe "-oC:\a b")", {L"s.exe", LR"(-oC:\a b)"}},
      {LR"(s.exe -o"C:\a b")", {L"s.exe", LR"(-oC:\a b)"}},
      {LR"(s.exe -oC:\a\\b)", {L"s.exe", LR"(-oC:\a\\b)"}},
      // A folder ending in a backslash, quoted: the backslash must be doubled.
      {LR"(s.exe "-oC:\dir\\")", {L"s.exe", LR"(-oC:\dir\)"}},
      {LR"(s.exe "-oC:\dir\" -y)", {L"s.exe", LR"(-oC:\dir" -y)"}},
      {LR"(s.exe a\\\"b)", {L"s.exe", LR"(a\"b)"}},
      {LR"(s.exe a\\\\"b c")", {L"s.exe", LR"(a\\b c)"}},
      {LR"(s.exe "a""b" c)", {L"s.exe", LR"(a"b)", L"c"}},
      {LR"(s.exe "" -y)", {L"s.exe", L"", L"-y"}},
      {LR"(s.exe "unterminated arg)", {L"s.exe", L"unterminated arg"}},
      {L"s.exe -p密码 -o目标", {L"s.exe", L"-p密码", L"-o目标"}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.expected)
        << "line: " << testing::PrintToString(std::wstring(c.line));
  }
}

struct ParseCase {
  std::vector<std::wstring> arguments;
  bool yes;
  bool test;
  bool help;
  std::optional<std::wstring> output;
  std::optional<std::wstring> password;
  bool noSetup = false;
};

TEST(StubCommandLine, ReadsSwitches) {
  using std::nullopt;
  const ParseCase cases[] = {
      {{}, false, false, false, nullopt, nullopt},
      {{L"-y"}, true, false, false, nullopt, nullopt},
      {{L"-Y", L"-T"}, true, true, false, nullopt, nullopt},
      {{L"-y", L"-y"}, true, false, false, nullopt, nullopt},
      {{L"-oC:\\out"}, false, false, false, L"C:\\out", nullopt},
      {{L"-OC:\\Out"}, false, false, false, L"C:\\Out", nullopt},
      {{L"-o目标 文件夹"}, false, false, false, L"目标 文件夹", nullopt},
      {{L"-oA", L"-oA"}, false, false, false, L"A", nullopt},
      {{LR"(-oC:\dir\")"}, false, false, false, LR"(C:\dir\)", nullopt},
      {{L"-pSecret"}, false, false, false, nullopt, L"Secret"},
      {{L"-PSecret"}, false, false, false, nullopt, L"Secret"},
      {{L"-p密码", L"-y", L"-ox"}, true, false, false, L"x", L"密码"},
      {{L"-p-y"}, false, false, false, nullopt, L"-y"},
      {{L"-?"}, false, false, true, nullopt, nullopt},
      {{L"-h"}, false, false, true, nullopt, nullopt},
      {{L"--help"}, false, false, true, nullopt, nullopt},
      {{L"-n", L"-y"}, true, false, false, nullopt, nullopt, true},
      {{L"-N"}, false, false, false, nullopt, nullopt, true},
  };
  for (const ParseCase& c : cases) {
    const ParsedCommandLine parsed = ParseArguments(c.arguments);
    const std::string label = testing::PrintToString(c.arguments);
    ASSERT_TRUE(parsed.value) << label;
    EXPECT_EQ(parsed.value->assumeYes, c.yes) << label;
    EXPECT_EQ(parsed.value->testOnly, c.test) << label;
    EXPECT_EQ(parsed.value->showHelp, c.help) << label;
    EXPECT_EQ(parsed.value->outputDir, c.output) << label;
    EXPECT_EQ(parsed.value->password, c.password) << label;
    EXPECT_EQ(parsed.value->noSetup, c.noSetup) << label;
  }
}

// The exit code 7 cases: each must be refused with a message.
TEST(StubCommandLine, RefusesWhatItCannotRead) {
  const std::vector<std::wstring> cases[] = {
      {L"-o"},          {LR"(-o")"}, {L"-p"},           {L"-oA", L"-oB"}, {L"-pA", L"-pB"},
      {L"-yes"},        {L"-ty"},    {L"-x"},           {L"-"},           {L""},
      {L"archive.zip"}, {L"/y"},     {L"-y", L"stray"}, {L"-nx"},
  };
  for (const auto& arguments : cases) {
    const ParsedCommandLine parsed = ParseArguments(arguments);
    EXPECT_FALSE(parsed.value) << testing::PrintToString(arguments);
    EXPECT_FALSE(parsed.error.empty()) << testing::PrintToString(arguments);
  }
}

TEST(StubCommandLine, ErrorNamesTheOffendingArgument) {
  const ParsedCommandLine parsed = ParseArguments({L"-y", L"-frobnicate"});
  ASSERT_FALSE(parsed.value);
  EXPECT_NE(parsed.error.find(L"-frobnicate"), std::wstring::npos);
}

TEST(StubCommandLine, WholeLineSkipsTheProgramName) {
  const ParsedCommandLine parsed = ParseCommandLine(LR"("C:\a b\-y.exe" -t "-oC:\x y\")");
  ASSERT_TRUE(parsed.value);
  EXPECT_FALSE(parsed.value->assumeYes);  // "-y" in the program's own name is no switch
  EXPECT_TRUE(parsed.value->testOnly);
  // \" is an escaped quote, taken as the closing one: the folder the user meant.
  EXPECT_EQ(parsed.value->outputDir, LR"(C:\x y)");
  EXPECT_FALSE(ParseCommandLine(L"s.exe -y extra").value);
}

}  // namespace
}  // namespace kzsfx::win32
