// Which download mark extracted files inherit from the exe.
#include "stub/core/zone_mark.h"

namespace kzsfx {

namespace {

constexpr std::string_view internet_zone = "[ZoneTransfer]\r\nZoneId=3\r\n";

bool looks_like_zone_record(std::string_view text) {
  return text.find("[ZoneTransfer]") != std::string_view::npos &&
         text.find("ZoneId=") != std::string_view::npos;
}

}  // namespace

std::optional<std::string> zone_mark_to_copy(const std::optional<std::string>& raw) {
  if (!raw) return std::nullopt;
  // A mark we cannot read is still a mark: losing it would turn a download into a
  // trusted local file, so it degrades to the Internet zone, never to nothing.
  if (raw->size() > max_zone_mark_size || !looks_like_zone_record(*raw))
    return std::string(internet_zone);
  return *raw;
}

}  // namespace kzsfx
