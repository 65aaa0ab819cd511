// Maps libarchive's per-entry error messages to the problems the summary names.
#pragma once

#include <string_view>

#include "stub/core/results.h"

namespace kzsfx {

// `message` is archive_error_string() after a failed data read; `encrypted` whether the entry
// is encrypted (a traditional-encryption key that passes the one-byte check but is wrong
// shows up as a CRC or decoding error).
Problem ClassifyDataError(std::string_view message, bool encrypted);

// Whether the message says a decoder could not get the memory its own header names (liblzma's
// dictionary, allocated as 7z's decoder starts): a property of the entry, which is
// unsupported, rather than the machine running out of memory.
bool DecoderMemoryRefused(std::string_view message);

}  // namespace kzsfx
