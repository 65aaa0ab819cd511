// The stub's user-facing texts: problems, fatal faults and sizes in Chinese.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "stub/core/results.h"

namespace kzsfx::win32 {

// An entry's path from the core ("a/b.txt") as Windows users read it ("a\\b.txt").
std::wstring shown_entry(std::string_view utf8_path);

// "812 字节", "1.5 KB", "3.4 MB", "2.0 GB": one decimal from KB on, binary units.
std::wstring format_size(std::uint64_t bytes);

// A whole number without separators ("12").
std::wstring format_count(std::uint64_t value);

std::wstring describe_problem(const EntryReport& report);
std::wstring describe_fatal(Fatal fatal);

// The fatal fault with what the user can act on: sizes for a full disk, else the library's
// or the platform's own words after the Chinese sentence.
std::wstring describe_run_failure(Fatal fatal, const std::string& detail, std::uint64_t needed,
                                  std::optional<std::uint64_t> available);

}  // namespace kzsfx::win32
