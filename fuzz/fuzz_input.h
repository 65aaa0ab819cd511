// What every fuzz target shares: a check that stops the run, and cutting the input into pieces.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string_view>

// Aborts, so that libFuzzer keeps the input and the replay test fails.
#define CHECK(condition)            \
  do {                              \
    if (!(condition)) std::abort(); \
  } while (0)

namespace quillet::fuzz {

// The bytes up to the next NUL (or the end), taken off the input with that NUL.
inline std::string_view TakePiece(std::string_view& input) {
  const std::size_t end = std::min(input.find('\0'), input.size());
  const std::string_view piece = input.substr(0, end);
  input.remove_prefix(std::min(end + 1, input.size()));
  return piece;
}

}  // namespace quillet::fuzz
