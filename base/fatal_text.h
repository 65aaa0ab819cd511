// The text of a fatal report, built without the allocator (the report may be about its failure).
#pragma once

#include <array>
#include <cstdint>

#include "base/text_view.h"

namespace quillet {

// A fixed block: long messages are cut, never in the middle of a double-byte character.
struct FatalText {
  std::array<char, 1024> bytes{};
  const char* c_str() const { return bytes.data(); }
};

// "运行时出错!", the code when it is not 0, the message when it is not empty; CR LF between.
FatalText FatalErrorText(TextView message, std::int32_t code);

}  // namespace quillet
