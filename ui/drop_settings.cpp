// Reading the drop target's stored settings record.
#include "ui/drop_settings.h"

namespace quillet {

namespace {

std::uint32_t ReadField(std::span<const std::uint8_t> record, std::size_t index) {
  const std::size_t at = index * 4;
  return static_cast<std::uint32_t>(record[at]) | static_cast<std::uint32_t>(record[at + 1]) << 8 |
         static_cast<std::uint32_t>(record[at + 2]) << 16 |
         static_cast<std::uint32_t>(record[at + 3]) << 24;
}

}  // namespace

std::optional<DropSettings> ReadDropSettings(std::span<const std::uint8_t> record) {
  DropSettings settings{};
  if (record.empty()) return settings;
  if (record.size() < kDropSettingsRecordSize) return std::nullopt;
  // Version 0 predates the field and is laid out like version 1.
  if (ReadField(record, 0) > 1) return std::nullopt;
  for (std::size_t kind = 0; kind < kDropKindCount; ++kind) {
    settings[kind] = ReadField(record, kind + 1) != 0;
  }
  return settings;
}

}  // namespace quillet
