// Finds where our own PE image ends inside the exe, which is where the appended archive begins.
#pragma once

#include <cstdint>
#include <string>

#include "stub/core/byte_source.h"

namespace kzsfx {

struct ImageEnd {
  bool ok = false;
  std::uint64_t offset = 0;  // first byte after the image: the archive's start
  std::string error;         // why the headers were rejected (English, for logs and tests)
};

// Walks the DOS header, the PE headers and the section table, every read bounds-checked, and
// returns the end of the furthest section's raw data (or of the headers, of an attached
// certificate table or COFF symbol table when those lie further). Malformed or truncated
// headers give ok == false, never a read outside the file.
ImageEnd FindImageEnd(ByteSource& exe);

}  // namespace kzsfx
