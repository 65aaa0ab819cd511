// Process launch: the start-up information the started program sees, failed starts, and how
// long RunCommand waits with and without waiting.
#include "ui/process.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>

#include "tests/input_path.h"
#include "tests/win32/scratch_folder.h"

namespace quillet {
namespace {

using testing::Exists;
using testing::ReadBytes;
using testing::ScratchFolder;

std::string ProbePath() { return testing::InputPath("STARTUP_PROBE"); }

std::string ProbeCommand(const std::string& out, int delayMs = 0) {
  std::string command = "\"" + ProbePath() + "\" \"" + out + "\"";
  if (delayMs > 0) command += " " + std::to_string(delayMs);
  return command;
}

struct Report {
  unsigned long size = 0, flags = 0, show = 99;
  std::string commandLine;
};

Report ReadReport(const std::string& path) {
  std::istringstream in(ReadBytes(path));
  Report report;
  in >> report.size >> report.flags >> report.show;
  in.ignore(1);
  std::getline(in, report.commandLine, '\0');
  return report;
}

TEST(RunCommand, ShowModeIsClampedAndMapped) {
  struct Case {
    std::optional<std::int32_t> mode;
    unsigned long show;
  } cases[] = {
      {std::nullopt, SW_SHOWNORMAL},
      {-5, SW_HIDE},
      {0, SW_HIDE},
      {1, SW_HIDE},
      {2, SW_SHOWNORMAL},
      {3, SW_SHOWMINIMIZED},
      {4, SW_SHOWMAXIMIZED},
      {5, SW_SHOWNOACTIVATE},
      {6, SW_MINIMIZE},
      {7, SW_MINIMIZE},
      {100, SW_MINIMIZE},
  };
  ScratchFolder scratch("show");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode ? std::to_string(*c.mode) : "absent");
    const std::string out = scratch / "report.txt";
    ::DeleteFileA(out.c_str());
    ASSERT_TRUE(RunCommand(ProbeCommand(out).c_str(), true, c.mode));
    const Report report = ReadReport(out);
    EXPECT_EQ(report.size, sizeof(STARTUPINFOA));
    EXPECT_EQ(report.flags, static_cast<unsigned long>(STARTF_USESHOWWINDOW));
    EXPECT_EQ(report.show, c.show);
  }
}

TEST(RunCommand, CommandLineReachesTheProgramUnchanged) {
  ScratchFolder scratch("cmdline");
  const std::string folder = scratch / "a folder with spaces & more";
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  const std::string out = folder + "\\report.txt";
  const std::string command = ProbeCommand(out);
  // A literal in read-only memory: the start must not write into the caller's text.
  static const char kLiteral[] = "cmd.exe /c exit 0";
  EXPECT_TRUE(RunCommand(kLiteral, true, 1));
  ASSERT_TRUE(RunCommand(command.c_str(), true, 1));
  EXPECT_EQ(ReadReport(out).commandLine, command);
}

TEST(RunCommand, FalseOnlyWhenTheStartFails) {
  struct Case {
    const char* command;
    bool started;
  } cases[] = {
      {"Z:\\no\\such\\program.exe", false},
      {"quillet_no_such_program_here arg", false},
      {"", false},
      {"cmd.exe /c exit 3", true},  // started, even though it fails at once
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunCommand(c.command, true, 1), c.started) << c.command;
    EXPECT_EQ(StartCommand(c.command, 1).Valid(), c.started) << c.command;
  }
}

TEST(RunCommand, WaitingWaitsForTheEnd) {
  ScratchFolder scratch("wait");
  const std::string out = scratch / "report.txt";
  const ULONGLONG start = ::GetTickCount64();
  ASSERT_TRUE(RunCommand(ProbeCommand(out, 1500).c_str(), true, 1));
  EXPECT_GE(::GetTickCount64() - start, 1400u);
  EXPECT_TRUE(Exists(out)) << "the program had finished";
}

// The probe never reads messages, so it never becomes idle: the wait ends at its bound.
TEST(RunCommand, NotWaitingReturnsWithinAboutASecond) {
  ScratchFolder scratch("nowait");
  const std::string out = scratch / "report.txt";
  const ULONGLONG start = ::GetTickCount64();
  ASSERT_TRUE(RunCommand(ProbeCommand(out, 6000).c_str(), false, 1));
  const ULONGLONG elapsed = ::GetTickCount64() - start;
  EXPECT_LT(elapsed, 5000u);
  EXPECT_GE(elapsed, 900u) << "the start is given its second to become ready";
  EXPECT_FALSE(Exists(out)) << "RunCommand waited for the program's end";
  // Let the probe finish before its folder goes.
  for (int i = 0; i < 200 && !Exists(out); ++i) ::Sleep(100);
  EXPECT_EQ(ReadReport(out).show, static_cast<unsigned long>(SW_HIDE));
}

TEST(StartCommand, HandsBackTheRunningProcess) {
  ScratchFolder scratch("start");
  const std::string out = scratch / "report.txt";
  const AutoHandle process = StartCommand(ProbeCommand(out, 2500).c_str(), 1);
  ASSERT_TRUE(process.Valid());
  EXPECT_EQ(::WaitForSingleObject(process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  ASSERT_EQ(::WaitForSingleObject(process.Get(), 20000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 99;
  EXPECT_TRUE(::GetExitCodeProcess(process.Get(), &code));
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(ReadReport(out).show, static_cast<unsigned long>(SW_HIDE));
}

}  // namespace
}  // namespace quillet
