// The installer script: which comments are scripts, what each line becomes, which lines refuse
// the run and how the refusal names them; and the comment read from the zip's end record.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "stub/core/installer_script.h"
#include "stub/core/zip_layout.h"
#include "tests/native/stub_test_support.h"

namespace kzsfx {
namespace {

TEST(StubInstallerScript, OnlyACommentStartingWithTheMarkerLineIsAScript) {
  struct Case {
    const char* comment;
    bool script;
  };
  const Case cases[] = {
      {";kzsfx", true},
      {";kzsfx\r\nTitle=x", true},
      {";kzsfx  \nTitle=x", true},
      {"\xEF\xBB\xBF;kzsfx\n", true},
      {";kzsfx\rTitle=x", true},
      {"", false},
      {"commit 3f2a9c1", false},
      {"https://example.org/;kzsfx", false},
      {" ;kzsfx\n", false},
      {";KZSFX\n", false},
      {";kzsfxx\n", false},
      {"Title=x\n;kzsfx\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.comment);
    EXPECT_EQ(IsInstallerScript(c.comment), c.script);
    EXPECT_EQ(ReadInstallerScript(c.comment).Present(), c.script);
  }
}

TEST(StubInstallerScript, CommandsBecomeTheScript) {
  const ScriptReading reading = ReadInstallerScript(
      ";kzsfx\r\n"
      "; a comment line: Foo=bar\r\n"
      "\r\n"
      "  Title = 安装示例 \r\n"
      "Text=第一行\r\n"
      "text=\r\n"
      "Text=第三行\r\n"
      "PATH=%programfiles%\\\xE7\xA4\xBA\xE4\xBE\x8B\r\n"
      "Setup=\"bin/my setup.exe\" /S  /D=x \r\n"
      "Silent=1\r\n"
      "Overwrite=2");
  ASSERT_TRUE(reading.script) << Describe(reading.error->fault) << " at " << reading.error->line;
  const InstallerScript& script = *reading.script;
  EXPECT_EQ(script.title, "安装示例");
  EXPECT_EQ(script.texts, (std::vector<std::string>{"第一行", "", "第三行"}));
  ASSERT_TRUE(script.path);
  EXPECT_EQ(script.path->base, KnownFolder::kProgramFiles);
  EXPECT_EQ(script.path->rest, "\\\xE7\xA4\xBA\xE4\xBE\x8B");  // UTF-8 "\\示例"
  ASSERT_TRUE(script.setup);
  EXPECT_EQ(script.setup->program, "bin/my setup.exe");
  EXPECT_EQ(script.setup->arguments, "/S  /D=x");
  EXPECT_EQ(script.setup->kind, SetupKind::kProgram);
  EXPECT_FALSE(script.tempMode);
  EXPECT_EQ(script.silence, Silence::kProgressOnly);
  EXPECT_EQ(script.overwrite, OverwritePolicy::kSkipAll);
}

TEST(StubInstallerScript, ValuesEachCommandTakes) {
  struct Case {
    const char* line;
    std::function<bool(const InstallerScript&)> holds;
  };
  const Case cases[] = {
      {"Path=D:\\Apps\\x",
       [](auto& s) { return s.path->base == KnownFolder::kNone && s.path->rest == "D:\\Apps\\x"; }},
      {"Path=sub\\folder",
       [](auto& s) { return s.path->base == KnownFolder::kNone && s.path->rest == "sub\\folder"; }},
      {"Path=D:\\", [](auto& s) { return s.path->rest == "D:\\"; }},
      {"Path=\\\\server\\share", [](auto& s) { return s.path->rest == "\\\\server\\share"; }},
      {"Path=\\\\server\\share\\a/b",
       [](auto& s) { return s.path->rest == "\\\\server\\share\\a/b"; }},
      {"Path=%LOCALAPPDATA%",
       [](auto& s) { return s.path->base == KnownFolder::kLocalAppData && s.path->rest.empty(); }},
      {"Path=%APPDATA%/x",
       [](auto& s) { return s.path->base == KnownFolder::kAppData && s.path->rest == "/x"; }},
      {"Path=%TEMP%\\x", [](auto& s) { return s.path->base == KnownFolder::kTemp; }},
      {"Path=%UserProfile%\\x", [](auto& s) { return s.path->base == KnownFolder::kUserProfile; }},
      {"Path=%PUBLIC%\\x", [](auto& s) { return s.path->base == KnownFolder::kPublic; }},
      {"Setup=setup.exe",
       [](auto& s) { return s.setup->program == "setup.exe" && s.setup->arguments.empty(); }},
      {"Setup=./tools\\Install.EXE -q",
       [](auto& s) {
         return s.setup->program == "tools/Install.EXE" && s.setup->arguments == "-q" &&
                s.setup->kind == SetupKind::kProgram;
       }},
      {"Setup=install.cmd a \"b c\"",
       [](auto& s) {
         return s.setup->kind == SetupKind::kBatch && s.setup->arguments == "a \"b c\"";
       }},
      {"Setup=go.BAT", [](auto& s) { return s.setup->kind == SetupKind::kBatch; }},
      {"Setup=readme.txt", [](auto& s) { return s.setup->kind == SetupKind::kDocument; }},
      // UTF-8, as the comment arrives decoded: "说明 文件.html".
      {"Setup=\"\xE8\xAF\xB4\xE6\x98\x8E \xE6\x96\x87\xE4\xBB\xB6.html\"",
       [](auto& s) {
         return s.setup->program == "\xE8\xAF\xB4\xE6\x98\x8E \xE6\x96\x87\xE4\xBB\xB6.html" &&
                s.setup->kind == SetupKind::kDocument;
       }},
      {"Silent=0", [](auto& s) { return s.silence == Silence::kNone; }},
      {"Silent=2", [](auto& s) { return s.silence == Silence::kNothing; }},
      {"Overwrite=0", [](auto& s) { return s.overwrite == OverwritePolicy::kAsk; }},
      {"Overwrite=1", [](auto& s) { return s.overwrite == OverwritePolicy::kOverwriteAll; }},
      {"Setup=a.exe\nTempMode", [](auto& s) { return s.tempMode; }},
      {"TempMode\nSetup=a.exe", [](auto& s) { return s.tempMode; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const ScriptReading reading = ReadInstallerScript(std::string(";kzsfx\n") + c.line);
    ASSERT_TRUE(reading.script) << Describe(reading.error->fault);
    EXPECT_TRUE(c.holds(*reading.script));
  }
}

// The run is refused before anything is written, with the line that did it.
TEST(StubInstallerScript, FaultsNameTheirLine) {
  struct Case {
    const char* script;
    ScriptFault fault;
    std::size_t lineNumber;
    const char* line;
    PathRefusal refusal = PathRefusal::kNone;
  };
  const Case cases[] = {
      {";kzsfx\nTitle=x\nDestination=C:\\x", ScriptFault::kUnknownCommand, 3, "Destination=C:\\x"},
      {";kzsfx\r\nTitle=x\r\n  Foo=1  ", ScriptFault::kUnknownCommand, 3, "  Foo=1  "},
      {";kzsfx\nSilent", ScriptFault::kUnknownCommand, 2, "Silent"},
      {";kzsfx\n=x", ScriptFault::kUnknownCommand, 2, "=x"},
      {";kzsfx\nTitle=", ScriptFault::kMissingValue, 2, "Title="},
      {";kzsfx\nPath= ", ScriptFault::kMissingValue, 2, "Path= "},
      {";kzsfx\nSetup=", ScriptFault::kMissingValue, 2, "Setup="},
      {";kzsfx\nSilent=3", ScriptFault::kBadValue, 2, "Silent=3"},
      {";kzsfx\nSilent=yes", ScriptFault::kBadValue, 2, "Silent=yes"},
      {";kzsfx\nOverwrite=", ScriptFault::kMissingValue, 2, "Overwrite="},
      {";kzsfx\nOverwrite=01", ScriptFault::kBadValue, 2, "Overwrite=01"},
      {";kzsfx\nTempMode=1\nSetup=a.exe", ScriptFault::kBadValue, 2, "TempMode=1"},
      {";kzsfx\nSetup=\"a.exe", ScriptFault::kBadValue, 2, "Setup=\"a.exe"},
      {";kzsfx\nSetup=\"a\".exe", ScriptFault::kBadValue, 2, "Setup=\"a\".exe"},
      {";kzsfx\nSetup=bin/", ScriptFault::kBadValue, 2, "Setup=bin/"},
      {";kzsfx\nTitle=a\nTitle=b", ScriptFault::kRepeated, 3, "Title=b"},
      {";kzsfx\nSetup=a.exe\nTempMode\nTempMode", ScriptFault::kRepeated, 4, "TempMode"},
      {";kzsfx\nSilent=1\nSilent=1", ScriptFault::kRepeated, 3, "Silent=1"},
      {";kzsfx\nPath=%WINDIR%\\x", ScriptFault::kUnknownFolder, 2, "Path=%WINDIR%\\x"},
      {";kzsfx\nPath=%TEMP%x", ScriptFault::kUnknownFolder, 2, "Path=%TEMP%x"},
      {";kzsfx\nPath=%TEMP%\\..\\x", ScriptFault::kPathRefused, 2, "Path=%TEMP%\\..\\x",
       PathRefusal::kParentReference},
      {";kzsfx\nPath=..\\x", ScriptFault::kPathRefused, 2, "Path=..\\x",
       PathRefusal::kParentReference},
      {";kzsfx\nPath=D:x", ScriptFault::kPathRefused, 2, "Path=D:x", PathRefusal::kDriveLetter},
      {";kzsfx\nPath=\\x", ScriptFault::kPathRefused, 2, "Path=\\x", PathRefusal::kAbsolute},
      {";kzsfx\nPath=D:\\a\\b:c", ScriptFault::kPathRefused, 2, "Path=D:\\a\\b:c",
       PathRefusal::kStreamColon},
      {";kzsfx\nPath=%PUBLIC%\\con", ScriptFault::kPathRefused, 2, "Path=%PUBLIC%\\con",
       PathRefusal::kDeviceName},
      {";kzsfx\nPath=\\\\server\\share\\x\xE2\x80\xAE"
       "exe.txt",
       ScriptFault::kPathRefused, 2,
       "Path=\\\\server\\share\\x\xE2\x80\xAE"
       "exe.txt",
       PathRefusal::kHiddenCharacter},
      {";kzsfx\nSetup=..\\evil.exe", ScriptFault::kSetupOutsideTree, 2, "Setup=..\\evil.exe",
       PathRefusal::kParentReference},
      {";kzsfx\nSetup=bin/../../evil.exe", ScriptFault::kSetupOutsideTree, 2,
       "Setup=bin/../../evil.exe", PathRefusal::kParentReference},
      {";kzsfx\nSetup=C:\\Windows\\system32\\calc.exe", ScriptFault::kSetupOutsideTree, 2,
       "Setup=C:\\Windows\\system32\\calc.exe", PathRefusal::kDriveLetter},
      {";kzsfx\nSetup=\\calc.exe", ScriptFault::kSetupOutsideTree, 2, "Setup=\\calc.exe",
       PathRefusal::kAbsolute},
      {";kzsfx\nSetup=\\\\host\\share\\x.exe", ScriptFault::kSetupOutsideTree, 2,
       "Setup=\\\\host\\share\\x.exe", PathRefusal::kUnc},
      {";kzsfx\nSetup=a.txt:evil.exe", ScriptFault::kSetupOutsideTree, 2, "Setup=a.txt:evil.exe",
       PathRefusal::kStreamColon},
      {";kzsfx\nPath=x\nTempMode\nSetup=a.exe", ScriptFault::kTempModeWithPath, 3, "TempMode"},
      {";kzsfx\nTempMode\nSetup=a.exe\nPath=x", ScriptFault::kTempModeWithPath, 4, "Path=x"},
      {";kzsfx\nTitle=x\nTempMode", ScriptFault::kTempModeWithoutSetup, 3, "TempMode"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const ScriptReading reading = ReadInstallerScript(c.script);
    EXPECT_FALSE(reading.script);
    ASSERT_TRUE(reading.error);
    EXPECT_EQ(Describe(reading.error->fault), std::string(Describe(c.fault)));
    EXPECT_EQ(reading.error->lineNumber, c.lineNumber);
    EXPECT_EQ(reading.error->line, c.line);
    EXPECT_EQ(reading.error->refusal, c.refusal);
  }
}

EntryReport Report(const char* path, Problem problem) {
  EntryReport report;
  report.path = path;
  report.problem = problem;
  return report;
}

TEST(StubInstallerScript, SetupRunsOnlyWhenEveryEntryWasExtracted) {
  struct Case {
    const char* what;
    std::function<void(ExtractResult&)> change;
    bool setupRuns;
  };
  const Case cases[] = {
      {"clean", [](ExtractResult&) {}, true},
      {"existing kept",
       [](ExtractResult& r) { r.skipped.push_back(Report("a", Problem::kKeptExisting)); }, true},
      {"time not set",
       [](ExtractResult& r) { r.warnings.push_back(Report("a", Problem::kMetadataNotSet)); }, true},
      {"mark not set",
       [](ExtractResult& r) { r.warnings.push_back(Report("a", Problem::kZoneMarkNotSet)); }, true},
      {"link left out",
       [](ExtractResult& r) { r.warnings.push_back(Report("a", Problem::kLinkSkipped)); }, false},
      {"never reached",
       [](ExtractResult& r) { r.warnings.push_back(Report("a", Problem::kNotReached)); }, false},
      {"refused",
       [](ExtractResult& r) { r.refused.push_back(Report("../a", Problem::kRefusedPath)); }, false},
      {"failed", [](ExtractResult& r) { r.failed.push_back(Report("a", Problem::kCrcMismatch)); },
       false},
      {"cancelled", [](ExtractResult& r) { r.cancelled = true; }, false},
      {"disk full", [](ExtractResult& r) { r.fatal = Fatal::kNotEnoughSpace; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExtractResult result;
    result.files = 3;
    c.change(result);
    EXPECT_EQ(EveryEntryExtracted(result), c.setupRuns);
  }
}

// A zip whose comment is `comment`: one stored file, then the end record.
testing::Bytes ZipWithComment(const std::string& comment, int lengthSkew = 0) {
  testing::Bytes zip;
  auto put16 = [&](unsigned v) {
    zip.push_back(static_cast<unsigned char>(v & 0xFF));
    zip.push_back(static_cast<unsigned char>(v >> 8));
  };
  auto put32 = [&](std::uint32_t v) {
    put16(v & 0xFFFF);
    put16(v >> 16);
  };
  const std::string name = "a";
  // Local header, no data (an empty stored file: CRC 0).
  put32(0x04034b50), put16(10), put16(0), put16(0), put16(0), put16(0), put32(0), put32(0),
      put32(0), put16(1), put16(0);
  zip.insert(zip.end(), name.begin(), name.end());
  const std::uint32_t directoryAt = static_cast<std::uint32_t>(zip.size());
  put32(0x02014b50), put16(20), put16(10), put16(0), put16(0), put16(0), put16(0), put32(0),
      put32(0), put32(0), put16(1), put16(0), put16(0), put16(0), put16(0), put32(0), put32(0);
  zip.insert(zip.end(), name.begin(), name.end());
  const std::uint32_t directorySize = static_cast<std::uint32_t>(zip.size()) - directoryAt;
  put32(0x06054b50), put16(0), put16(0), put16(1), put16(1), put32(directorySize),
      put32(directoryAt), put16(static_cast<unsigned>(comment.size() + lengthSkew));
  zip.insert(zip.end(), comment.begin(), comment.end());
  return zip;
}

TEST(StubZipComment, ReadFromTheEndRecordBehindAHead) {
  struct Case {
    const char* what;
    testing::Bytes archive;
    std::optional<std::string> comment;
  };
  const std::string script = ";kzsfx\r\nSetup=setup.exe\r\n";
  const Case cases[] = {
      {"script", ZipWithComment(script), script},
      {"no comment", ZipWithComment(""), std::string()},
      {"GBK bytes as stored", ZipWithComment("\xB0\xB2\xD7\xB0"), std::string("\xB0\xB2\xD7\xB0")},
      // A length that does not reach the archive's end is not the archiver's.
      {"length too short", ZipWithComment(script, -1), std::nullopt},
      {"not a zip", testing::Bytes{'7', 'z', 0xBC, 0xAF, 0x27, 0x1C, 0, 4}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::Bytes exe = testing::make_pe_head();
    const std::uint64_t offset = exe.size();
    exe.insert(exe.end(), c.archive.begin(), c.archive.end());
    testing::MemorySource source(exe);
    EXPECT_EQ(ReadZipComment(source, offset), c.comment);
  }
}

}  // namespace
}  // namespace kzsfx
