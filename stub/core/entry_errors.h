// Maps libarchive's per-entry error messages to the problems the summary names.
#pragma once

#include <string_view>

#include "stub/core/results.h"

namespace kzsfx {

// `message` is archive_error_string() after a failed data read; `encrypted` whether the entry
// is encrypted (a traditional-encryption key that passes the one-byte check but is wrong
// shows up as a CRC or decoding error).
Problem classify_data_error(std::string_view message, bool encrypted);

} // namespace kzsfx
