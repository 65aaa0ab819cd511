// The stub's replacements for the runtime's throwing paths: each ends the process with the exit
// code scripts expect (8 out of memory, 2 anything else) and says why on standard error. And
// its own storage for thread_local variables.
#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "stub/win32/runtime_stops.h"

namespace {

// Bigger than any heap of a 32-bit process; read at run time, so the compiler does not object.
std::size_t too_much() {
  volatile std::size_t size = static_cast<std::size_t>(-1) - 4096;
  return size;
}

// Standard error is a pipe here, so the text arrives as UTF-8 ("内存不足", "程序内部出错").
const std::string out_of_memory_text = "\xE5\x86\x85\xE5\xAD\x98\xE4\xB8\x8D\xE8\xB6\xB3";
const std::string broken_text =
    "\xE7\xA8\x8B\xE5\xBA\x8F\xE5\x86\x85\xE9\x83\xA8\xE5\x87\xBA\xE9\x94\x99";

TEST(StubRuntimeStopsDeathTest, NewBeyondTheHeapEndsWithOutOfMemory) {
  EXPECT_EXIT(::operator delete(::operator new(too_much())), ::testing::ExitedWithCode(8),
              out_of_memory_text);
}

TEST(StubRuntimeStopsDeathTest, ArrayNewBeyondTheHeapEndsWithOutOfMemory) {
  EXPECT_EXIT(::operator delete[](::operator new[](too_much())), ::testing::ExitedWithCode(8),
              out_of_memory_text);
}

TEST(StubRuntimeStopsDeathTest, ContainerPastMaxSizeEndsWithOutOfMemory) {
  EXPECT_EXIT(
      {
        std::vector<int> v;
        v.reserve(v.max_size() + 1);
      },
      ::testing::ExitedWithCode(8), out_of_memory_text);
  EXPECT_EXIT(
      {
        std::wstring s;
        s.resize(s.max_size() + 1);
      },
      ::testing::ExitedWithCode(8), out_of_memory_text);
}

TEST(StubRuntimeStopsDeathTest, BrokenPreconditionEndsWithFatal) {
  EXPECT_EXIT(
      {
        const std::string s = "abc";
        (void)s.at(5);
      },
      ::testing::ExitedWithCode(2), broken_text);
  EXPECT_EXIT(
      {
        const std::wstring s = L"abc";
        (void)s.substr(4);
      },
      ::testing::ExitedWithCode(2), broken_text);
}

TEST(StubRuntimeStops, NothrowNewOnlyReportsFailure) {
  void* block = ::operator new(too_much(), std::nothrow);
  EXPECT_EQ(block, nullptr);
  ::operator delete(block);
  void* array = ::operator new[](too_much(), std::nothrow);
  EXPECT_EQ(array, nullptr);
  ::operator delete[](array);
}

thread_local int initialised = 42;
struct alignas(64) Wide {
  char bytes[100];
};
thread_local Wide zeroed{};

TEST(StubThreadStorage, EveryThreadHasItsOwnCopyFromTheInitialValue) {
  initialised = 7;
  zeroed.bytes[99] = 1;
  int seen = 0;
  char seenZeroed = 1;
  const int* theirs = nullptr;
  std::uintptr_t theirWide = 1;
  std::thread([&] {
    seen = initialised;
    seenZeroed = zeroed.bytes[99];
    theirs = &initialised;
    theirWide = reinterpret_cast<std::uintptr_t>(&zeroed);
    initialised = 9;
  }).join();
  EXPECT_EQ(seen, 42);
  EXPECT_EQ(seenZeroed, 0);
  EXPECT_NE(theirs, &initialised);
  EXPECT_EQ(theirWide % alignof(Wide), 0u);
  EXPECT_EQ(initialised, 7);
}

}  // namespace
