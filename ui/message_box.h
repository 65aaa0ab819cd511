// Modal message boxes with the program's caption default and small result numbers.
#pragma once

#include <cstdint>
#include <optional>

#include "base/text.h"

namespace quillet {

constexpr std::int32_t kMessageBoxNotShown = -1;

// flags: button set in the low four bits plus the platform's icon/default/system-modal bits.
// Result: 0 OK, 1 Cancel, 2 Abort, 3 Retry, 4 Ignore, 5 Yes, 6 No (any other answer 0), or
// kMessageBoxNotShown when the box could not be shown.
// An absent caption shows "信息："; owner is a native window handle or null.
std::int32_t ShowMessageBox(TextView message, std::int32_t flags = 0,
                            std::optional<TextView> caption = std::nullopt, void* owner = nullptr);

}  // namespace quillet
