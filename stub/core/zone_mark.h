// The download mark: which Zone.Identifier content, read from our exe, extracted files get.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kzsfx {

// The largest stream we copy: real marks are a few hundred bytes.
inline constexpr std::size_t kMaxZoneMarkSize = 16 * 1024;

// Given the raw content of the exe's Zone.Identifier stream (nothing when it has none),
// returns what every extracted file must carry: the same content when it is a zone record,
// a plain Internet-zone record when it is present but unreadable or oversized (a damaged mark
// still means "downloaded"), nothing when there is no mark at all.
std::optional<std::string> ZoneMarkToCopy(const std::optional<std::string>& raw);

}  // namespace kzsfx
