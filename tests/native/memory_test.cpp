// The allocator: what is constant data, resizing it copies it, exhaustion is reported.
#include "base/memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "base/fatal.h"

// Lets an impossible request fail with null under AddressSanitizer, as it does on a real heap.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace quillet {
namespace {

const char kConstantText[] = "constant bytes";
const int kConstantTable[] = {1, 2, 3, 4};
char writableText[] = "writable bytes";

// Larger than any heap can give, on 32 and 64 bits.
constexpr std::size_t kImpossible = std::numeric_limits<std::size_t>::max() / 2 + 1;

struct FatalReport : std::runtime_error {
  FatalReport(std::string message, std::int32_t code) : std::runtime_error(message), code(code) {}
  std::int32_t code;
};

// Turns the report into an exception for the duration of one test.
class ThrowingReporter {
 public:
  ThrowingReporter() : previous_(SetFatalErrorReporter(&Throw)) {}
  ~ThrowingReporter() { SetFatalErrorReporter(previous_); }

 private:
  static void Throw(TextView message, std::int32_t code) {
    throw FatalReport(std::string(message.view()), code);
  }
  FatalErrorReporter previous_;
};

TEST(MemoryConstant, LiteralsAndConstArraysAreConstantData) {
  static const char kLocalTable[] = {'x', 'y', 'z'};
  const char* literal = "a literal";
  int onStack = 0;
  void* block = AllocateMemory(16);
  struct Case {
    const char* what;
    const void* address;
    bool constant;
  } cases[] = {
      {"literal", literal, true},
      {"literal end", literal + std::strlen(literal), true},
      {"const array", kConstantText, true},
      {"const table", &kConstantTable[3], true},
      {"function static const", kLocalTable, true},
      {"writable global", writableText, false},
      {"stack", &onStack, false},
      {"heap", block, false},
      {"null", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsConstantData(c.address), c.constant);
  }
  FreeMemory(block);
}

TEST(MemoryConstant, ResizingConstantDataCopiesIt) {
  struct Case {
    std::size_t size;
    std::size_t compared;
  } cases[] = {{5, 5}, {sizeof kConstantText, sizeof kConstantText}, {1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    void* block = ResizeMemory(const_cast<char*>(kConstantText), c.size);
    ASSERT_NE(block, nullptr);
    EXPECT_NE(block, static_cast<const void*>(kConstantText));
    EXPECT_FALSE(IsConstantData(block));
    EXPECT_EQ(std::memcmp(block, kConstantText, c.compared), 0);
    FreeMemory(block);
  }
  EXPECT_STREQ(kConstantText, "constant bytes");
}

TEST(MemoryHeap, ResizeKeepsContentsAndAllocatesForNull) {
  auto* block = static_cast<char*>(ResizeMemory(nullptr, 4));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abc", 4);
  block = static_cast<char*>(ResizeMemory(block, 100000));
  EXPECT_STREQ(block, "abc");
  block = static_cast<char*>(ResizeMemory(block, 2));
  EXPECT_EQ(std::memcmp(block, "ab", 2), 0);
  FreeMemory(block);
}

TEST(MemoryExhaustion, TryAllocateReturnsNull) {
  EXPECT_EQ(TryAllocateMemory(kImpossible), nullptr);
}

TEST(MemoryExhaustion, AllocateReportsTheSize) {
  ThrowingReporter reporter;
  const std::string expected =
      std::string("分配 ") + std::to_string(kImpossible) + " 字节内存失败!";
  for (auto attempt : {+[] { AllocateMemory(kImpossible); },
                       +[] {
                         // A failed resize leaves the old block to its owner.
                         struct Owned {
                           void* block = AllocateMemory(8);
                           ~Owned() { FreeMemory(block); }
                         } owned;
                         owned.block = ResizeMemory(owned.block, kImpossible);
                       }}) {
    try {
      attempt();
      ADD_FAILURE() << "no report";
    } catch (const FatalReport& report) {
      EXPECT_EQ(report.what(), expected);
      EXPECT_EQ(report.code, 0);
    }
  }
}

}  // namespace
}  // namespace quillet
