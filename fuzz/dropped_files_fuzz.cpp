// Fuzzes the reading of a dropped file list (DROPFILES, wide and ANSI) over any block: never a
// read outside it, and every list it accepts is exactly the entries the block holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ui/file_list.h"
#include "fuzz/fuzz_input.h"

namespace {

// Each byte as the code unit of the same value, as code page 1252 would mostly give it.
std::u16string DecodeBytes(std::string_view ansi) {
  return std::u16string(ansi.begin(), ansi.end());
}

std::uint32_t Uint32At(const std::vector<std::uint8_t>& block, std::size_t at) {
  return block[at] | block[at + 1] << 8 | block[at + 2] << 16 |
         static_cast<std::uint32_t>(block[at + 3]) << 24;
}

// The list as the block should hold it: each entry and its terminator, then one more.
std::vector<std::uint8_t> Encode(const std::vector<std::u16string>& paths, bool wide) {
  std::vector<std::uint8_t> bytes;
  const auto put = [&](char16_t unit) {
    bytes.push_back(static_cast<std::uint8_t>(unit));
    if (wide) bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (const std::u16string& path : paths) {
    for (char16_t unit : path) put(unit);
    put(0);
  }
  put(0);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exactly sized copy: AddressSanitizer sees the first byte past the block.
  const std::vector<std::uint8_t> block(data, data + size);
  const std::optional<std::vector<std::u16string>> paths =
      quillet::ReadFileList(std::span(block.data(), block.size()), &DecodeBytes);
  if (block.size() < 20) {
    CHECK(!paths);
    return 0;
  }
  if (!paths) return 0;
  const bool wide = Uint32At(block, 16) != 0;
  const std::size_t start = Uint32At(block, 0);
  for (const std::u16string& path : *paths) {
    CHECK(!path.empty());
    CHECK(path.find(u'\0') == std::u16string::npos);
  }
  // What was read is what lies at the list's offset, up to and with the final empty entry.
  const std::vector<std::uint8_t> expected = Encode(*paths, wide);
  CHECK(start <= block.size() && block.size() - start >= expected.size());
  CHECK(std::equal(expected.begin(), expected.end(),
                   block.begin() + static_cast<std::ptrdiff_t>(start)));
  return 0;
}
