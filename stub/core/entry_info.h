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

enum class EntryKind { kFile, kFolder, kLink, kSpecial };

struct EntryInfo {
  std::string name;  // decoded UTF-8 (possibly invalid: then path refuses it)
  SafePath path;
  EntryKind kind = EntryKind::kFile;
  std::optional<std::uint64_t> size;  // declared uncompressed size
  bool encrypted = false;
  FileMetadata meta;
  // Why decoding would take more memory than the entry can need (see decoder_memory.h).
  std::optional<std::string> excessiveMemory;
};

// The entry's name as UTF-8: libarchive's UTF-8 form, else its wide form, else the raw
// bytes (which the path check refuses unless they are valid UTF-8).
std::string DecodeEntryName(archive_entry* entry);

// The UTF-8 name a zip record gives its entry (ZipNameUtf8, else the legacy decoder of
// `options`), or nothing to leave the name to libarchive's decoding.
std::optional<std::string> DecodedRecordName(const ZipName& record, const Options& options);

// Names entries in reading order. For zip it pairs each entry with its central directory
// record (checked by size) to apply ZipNameUtf8; otherwise, or when the pairing does not
// hold, libarchive's decoding stands.
class EntryNamer {
 public:
  EntryNamer(ByteSource& source, std::uint64_t archiveOffset, const Options& options)
      : source_(source), offset_(archiveOffset), options_(options) {}
  std::string Name(archive* a, std::uint64_t index, archive_entry* entry);

  // The zip directory, all records kept (nothing for other formats or without one).
  const std::optional<ZipDirectory>& Directory(archive* a);
  // How many entries the reading should reach: one per local header the directory names.
  std::uint64_t ReachableEntries() const { return firstAtOffset_.size(); }
  // The name of the index-th of those, for naming the ones never reached.
  std::string ReachableName(std::uint64_t index) const;

 private:
  void Load(archive* a);
  const ZipName* Record(std::uint64_t index, archive_entry* entry) const;

  ByteSource& source_;
  std::uint64_t offset_;
  const Options& options_;
  bool loaded_ = false;
  std::optional<ZipDirectory> directory_;
  std::vector<std::size_t> firstAtOffset_;  // index of the first record at each local header
};

EntryInfo InspectEntry(archive_entry* entry, std::string name);

}  // namespace kzsfx
