// What the engine needs to know about one archive entry, taken from libarchive once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "stub/core/destination.h"
#include "stub/core/safe_path.h"

struct archive_entry;

namespace kzsfx {

enum class EntryKind { file, folder, link, special };

struct EntryInfo {
    std::string name;                 // decoded UTF-8 (possibly invalid: then path refuses it)
    SafePath path;
    EntryKind kind = EntryKind::file;
    std::optional<std::uint64_t> size;  // declared uncompressed size
    bool encrypted = false;
    FileMetadata meta;
};

// The entry's name as UTF-8: libarchive's UTF-8 form, else its wide form, else the raw
// bytes (which the path check refuses unless they are valid UTF-8).
std::string decode_entry_name(archive_entry* entry);

EntryInfo inspect_entry(archive_entry* entry);

} // namespace kzsfx
