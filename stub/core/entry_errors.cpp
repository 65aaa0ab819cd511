// Error-message classification; libarchive offers no error codes finer than errno.
#include "stub/core/entry_errors.h"

namespace kzsfx {

namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

bool decoder_memory_refused(std::string_view message) {
  return contains(message, "Lzma library error: Cannot allocate memory") ||
         contains(message, "Lzma library error: Out of memory");
}

Problem classify_data_error(std::string_view message, bool encrypted) {
  if (decoder_memory_refused(message)) return Problem::unsupported;
  if (contains(message, "Incorrect passphrase")) return Problem::wrong_password;
  if (contains(message, "Passphrase required")) return Problem::password_required;
  if (contains(message, "nsupported") || contains(message, "not supported") ||
      contains(message, "Unknown codec") || contains(message, "Unexpected codec"))
    return Problem::unsupported;
  if (contains(message, "runcated")) return Problem::truncated;
  if (encrypted) return Problem::wrong_password;
  if (contains(message, "CRC")) return Problem::crc_mismatch;
  return Problem::data_error;
}

}  // namespace kzsfx
