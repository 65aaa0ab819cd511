// The drop target's four kinds of dragged data, their settings and the stored settings record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quillet {

// In the order of the settings, which is also the order of the kinds' event numbers.
enum class DropKind : std::uint32_t { kText = 0, kHtml = 1, kUrl = 2, kFiles = 3 };
inline constexpr std::size_t kDropKindCount = 4;

// Indexed by DropKind: whether the kind is accepted.
using DropSettings = std::array<bool, kDropKindCount>;

inline constexpr std::size_t kDropSettingsRecordSize = 20;

// Reads a stored record: version, then one 32-bit flag per kind, little-endian. An empty record
// means all kinds off; a record that is too short or newer than version 1 is refused.
std::optional<DropSettings> ReadDropSettings(std::span<const std::uint8_t> record);

}  // namespace quillet
