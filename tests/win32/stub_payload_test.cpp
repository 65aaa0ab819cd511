// StubPayload: the embedded stub lives in read-only constant data, where no stray write can
// change what every conversion copies.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/stub_payload.h"
#include "base/memory.h"

namespace quillet {
namespace {

TEST(StubPayloadMemory, LiesInReadOnlyConstantData) {
  const ByteView stub = StubPayload();
  ASSERT_FALSE(stub.empty());
  EXPECT_TRUE(IsConstantData(stub.data()));
  EXPECT_TRUE(IsConstantData(stub.data() + stub.size() - 1));
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(stub.data(), &info, sizeof info), 0u);
  EXPECT_EQ(info.Protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE), 0u);
}

}  // namespace
}  // namespace quillet
