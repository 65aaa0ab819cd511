// The handle wrapper: ownership moves, and ends with the owner.
#include "base/win32_handles.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tests/win32/scratch_folder.h"

namespace quillet {
namespace {

AutoFile OpenExclusive(const std::string& path) {
  return AutoFile(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(UniqueHandle, OwnershipMovesAndEndsWithTheOwner) {
  testing::ScratchFolder scratch("handles");
  const std::string path = scratch / "f.bin";
  testing::PutBytes(path, "x");
  {
    AutoFile first = OpenExclusive(path);
    ASSERT_TRUE(first.Valid());
    AutoFile second = std::move(first);
    EXPECT_FALSE(first.Valid());
    EXPECT_TRUE(second.Valid());
    EXPECT_FALSE(OpenExclusive(path).Valid()) << "the moved handle still holds the file";
    first = std::move(second);
    EXPECT_FALSE(OpenExclusive(path).Valid());
  }
  EXPECT_TRUE(OpenExclusive(path).Valid()) << "the owner's end closed the file";

  AutoFile closing = OpenExclusive(path);
  EXPECT_TRUE(closing.Close());
  EXPECT_FALSE(closing.Valid());
  EXPECT_TRUE(closing.Close()) << "closing nothing succeeds";
  EXPECT_TRUE(OpenExclusive(path).Valid());

  HANDLE kept = OpenExclusive(path).Release();
  ASSERT_NE(kept, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(OpenExclusive(path).Valid()) << "a released handle stays open";
  ::CloseHandle(kept);

  AutoFile replaced = OpenExclusive(path);
  replaced.Reset();
  EXPECT_TRUE(OpenExclusive(path).Valid()) << "Reset closes the old handle";
}

}  // namespace
}  // namespace quillet
