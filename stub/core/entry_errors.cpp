// Error-message classification; libarchive offers no error codes finer than errno.
#include "stub/core/entry_errors.h"

namespace kzsfx {

namespace {

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

bool DecoderMemoryRefused(std::string_view message) {
  return Contains(message, "Lzma library error: Cannot allocate memory") ||
         Contains(message, "Lzma library error: Out of memory");
}

Problem ClassifyDataError(std::string_view message, bool encrypted) {
  if (DecoderMemoryRefused(message)) return Problem::kUnsupported;
  if (Contains(message, "Incorrect passphrase")) return Problem::kWrongPassword;
  if (Contains(message, "Passphrase required")) return Problem::kPasswordRequired;
  if (Contains(message, "nsupported") || Contains(message, "not supported") ||
      Contains(message, "Unknown codec") || Contains(message, "Unexpected codec"))
    return Problem::kUnsupported;
  if (Contains(message, "runcated")) return Problem::kTruncated;
  if (encrypted) return Problem::kWrongPassword;
  if (Contains(message, "CRC")) return Problem::kCrcMismatch;
  return Problem::kDataError;
}

}  // namespace kzsfx
