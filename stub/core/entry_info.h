// What the engine needs to know about one archive entry, taken from libarchive once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stub/core/byte_source.h"
#include "stub/core/destination.h"
#include "stub/core/options.h"
#include "stub/core/safe_path.h"
#include "stub/core/zip_names.h"

struct archive;
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

// Names entries in reading order. For zip it pairs each entry with its central directory
// record (checked by size) to apply zip_name_utf8; otherwise, or when the pairing does not
// hold, libarchive's decoding stands.
class EntryNamer {
public:
    EntryNamer(ByteSource& source, std::uint64_t archive_offset, const Options& options)
        : source_(source), offset_(archive_offset), options_(options)
    {
    }
    std::string name(archive* a, std::uint64_t index, archive_entry* entry);

private:
    ByteSource& source_;
    std::uint64_t offset_;
    const Options& options_;
    bool loaded_ = false;
    std::optional<std::vector<ZipName>> zip_;
};

EntryInfo inspect_entry(archive_entry* entry, std::string name);

} // namespace kzsfx
