// Test helper: texts written as hex bytes, for double-byte sequences that no literal shows plainly.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

namespace quillet::testing {

// "43 3A 5C" -> the bytes C:\ .
inline std::string Bytes(std::string_view hex) {
  std::string out;
  for (std::size_t i = 0; i < hex.size();) {
    if (hex[i] == ' ') {
      ++i;
      continue;
    }
    out.push_back(
        static_cast<char>(std::strtoul(std::string(hex.substr(i, 2)).c_str(), nullptr, 16)));
    i += 2;
  }
  return out;
}

}  // namespace quillet::testing
