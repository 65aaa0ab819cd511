// Which download mark extracted files inherit from the exe.
#include "stub/core/zone_mark.h"

namespace kzsfx {

namespace {

constexpr std::string_view kInternetZone = "[ZoneTransfer]\r\nZoneId=3\r\n";

bool LooksLikeZoneRecord(std::string_view text) {
  return text.find("[ZoneTransfer]") != std::string_view::npos &&
         text.find("ZoneId=") != std::string_view::npos;
}

}  // namespace

std::optional<std::string> ZoneMarkToCopy(const std::optional<std::string>& raw) {
  if (!raw) return std::nullopt;
  // A mark we cannot read is still a mark: losing it would turn a download into a
  // trusted local file, so it degrades to the Internet zone, never to nothing.
  if (raw->size() > kMaxZoneMarkSize || !LooksLikeZoneRecord(*raw))
    return std::string(kInternetZone);
  return *raw;
}

}  // namespace kzsfx
