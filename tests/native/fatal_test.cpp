// The fatal report: its text layout, the reporter hook and the exit code -1.
#include "base/fatal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/fatal_text.h"
#include "base/memory.h"

// Lets an impossible request fail with null under AddressSanitizer, as it does on a real heap.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace quillet {
namespace {

TEST(FatalText, Layout) {
  struct Case {
    const char* message;
    std::int32_t code;
    std::string expected;
  } cases[] = {
      {"", 0, "运行时出错!\r\n\r\n"},
      {nullptr, 0, "运行时出错!\r\n\r\n"},
      {"载入启动窗口失败", 0, "运行时出错!\r\n\r\n错误信息：载入启动窗口失败\r\n"},
      {"", 7, "运行时出错!\r\n\r\n错误代码：7\r\n\r\n"},
      {"x", -1, "运行时出错!\r\n\r\n错误代码：-1\r\n\r\n错误信息：x\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(std::string(FatalErrorText(c.message, c.code).c_str()), c.expected);
  }
}

TEST(FatalText, LongMessageIsCutAtACharacterBoundary) {
  std::string message;
  for (int i = 0; i < 2000; ++i) message += "错";
  const std::string text = FatalErrorText(message.c_str(), 0).c_str();
  const std::string head = std::string("运行时出错!\r\n\r\n") + "错误信息：";
  ASSERT_LT(text.size(), sizeof(FatalText::bytes));
  ASSERT_GT(text.size(), head.size());
  EXPECT_EQ(text.compare(0, head.size(), head), 0);
  const std::string cut = text.substr(head.size());
  EXPECT_EQ(cut.size() % 2, 0u);
  EXPECT_EQ(cut, message.substr(0, cut.size()));
}

void ReturningReporter(TextView, std::int32_t) {}

TEST(FatalHookDeathTest, ProcessEndsWithMinusOneWhenTheReporterReturns) {
  EXPECT_EXIT(
      {
        SetFatalErrorReporter(&ReturningReporter);
        ReportFatalError("message", 0);
      },
      [](int status) {
#ifdef _WIN32
        return status == -1;
#else
        return ::testing::ExitedWithCode(255)(status);
#endif
      },
      "");
}

#ifndef _WIN32
// The default report writes the box's text to stderr natively (on Windows it shows a box).
TEST(FatalHookDeathTest, DefaultReportsOutOfMemoryOnStderr) {
  EXPECT_EXIT(AllocateMemory(static_cast<std::size_t>(-1) / 2 + 1), ::testing::ExitedWithCode(255),
              "错误信息：分配 [0-9]+ 字节内存失败!");
}
#endif

}  // namespace
}  // namespace quillet
