// StubPayload: the embedded bytes are the very bytes of the built stub (which the build checks
// to be a stripped GUI image ending at its last section) and live in constant data.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/stub_payload.h"
#include "base/memory.h"
#include "tests/input_path.h"

namespace quillet {
namespace {

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(StubPayloadImage, EqualsTheBuiltStubFile) {
  const std::string path = testing::InputPath("QUILLET_STUB_FILE");
  const std::vector<std::uint8_t> file = ReadWholeFile(path);
  ASSERT_FALSE(file.empty()) << "cannot read " << path;
  const ByteView stub = StubPayload();
  ASSERT_EQ(stub.size(), file.size());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), file.begin()));
}

TEST(StubPayloadMemory, LiesInConstantDataSoFreeingItDoesNothing) {
  const ByteView stub = StubPayload();
  ASSERT_FALSE(stub.empty());
  EXPECT_TRUE(IsConstantData(stub.data()));
  EXPECT_TRUE(IsConstantData(stub.data() + stub.size() - 1));
  const std::vector<std::uint8_t> before(stub.begin(), stub.end());
  FreeMemory(stub.data());
  EXPECT_TRUE(std::equal(stub.begin(), stub.end(), before.begin(), before.end()));
  // Its pages are read-only: a stray write could never change what is embedded.
  MEMORY_BASIC_INFORMATION info{};
  ASSERT_NE(VirtualQuery(stub.data(), &info, sizeof info), 0u);
  EXPECT_EQ(info.Protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE), 0u);
}

}  // namespace
}  // namespace quillet
