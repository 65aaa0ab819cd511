// Pass one: every header, no data: counts, declared total, top-level item, refusals.
#include "stub/core/listing.h"

#include <archive.h>
#include <cstdint>

#include "stub/core/archive_reader.h"
#include "stub/core/entry_info.h"
#include "stub/core/zip_chunks.h"
#include "stub/core/zip_layout.h"

namespace kzsfx {

namespace {

std::string ascii_lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

struct TopLevel {
  bool any_safe = false;
  std::string key;
};

// Reads the headers of the archive, or of one run of it, into `listing`; false on a fault.
bool list_part(ByteSource& exe, std::uint64_t archive_offset, const Options& options,
               Observer& observer, Listing& listing, TopLevel& top) {
  ArchiveReader reader(exe, archive_offset, options, observer);
  if (!reader.open(listing.fatal, listing.fatal_detail)) {
    listing.cancelled = reader.cancelled();
    return false;
  }
  archive* a = reader.get();
  EntryNamer namer(exe, archive_offset, options);
  const std::uint64_t entries_before = listing.entries;
  bool& any_safe = top.any_safe;
  std::string& top_level_key = top.key;
  for (std::uint64_t index = 0;; ++index) {
    archive_entry* entry = nullptr;
    const int r = reader.next_header(entry, listing.cancelled, listing.fatal, listing.fatal_detail);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_FAILED) return false;
    if (listing.entries == 0) listing.format = archive_format_name(a) ? archive_format_name(a) : "";
    if (r == ARCHIVE_FAILED) {
      ++listing.entries;  // unusable header: extraction names it as failed
      continue;
    }
    EntryInfo info = inspect_entry(entry, namer.name(a, index, entry));
    ++listing.entries;
    listing.any_encrypted = listing.any_encrypted || info.encrypted;
    if (!info.path.ok()) {
      listing.refused.push_back({info.name, Problem::refused_path, info.path.refusal, {}});
      continue;
    }
    if (info.kind == EntryKind::link || info.kind == EntryKind::special) {
      listing.refused.push_back({info.path.joined(), Problem::link_skipped, PathRefusal::none, {}});
      continue;
    }
    if (info.kind == EntryKind::folder) {
      ++listing.folders;
    } else {
      ++listing.files;
      // Saturate: hostile sizes must not wrap round to something that looks small.
      const std::uint64_t size = info.size.value_or(0);
      listing.declared_total =
          size > UINT64_MAX - listing.declared_total ? UINT64_MAX : listing.declared_total + size;
    }
    // Windows names are case-insensitive: "Doc/a" and "doc/b" share one top folder.
    std::string key = ascii_lower(info.path.components.front());
    if (!any_safe) {
      any_safe = true;
      top_level_key = key;
      listing.top_level = info.path.components.front();
      listing.single_top_level = true;
    } else if (key != top_level_key) {
      listing.single_top_level = false;
    }
  }
  if (const auto& directory = namer.directory(a)) {
    // Records sharing data make a small archive extract to any size (the non-recursive
    // zip bomb): no archiver writes them, so the archive is damaged.
    if (auto shared = find_shared_data(exe, archive_offset, *directory)) {
      listing.fatal = Fatal::corrupt_archive;
      listing.fatal_detail = "entries " + *shared;
      return false;
    }
    // What the directory lists but the reading never reached is named, never skipped silently.
    for (std::uint64_t index = listing.entries - entries_before; index < namer.reachable_entries();
         ++index)
      listing.unreached.push_back(
          {namer.reachable_name(index), Problem::not_reached, PathRefusal::none, {}});
  }
  return true;
}

}  // namespace

Listing list_archive(ByteSource& exe, std::uint64_t archive_offset, const Options& options,
                     Observer& observer) {
  Listing listing;
  if (archive_offset >= exe.size()) {
    listing.fatal = Fatal::no_archive;
    return listing;
  }
  TopLevel top;
  // A zip run by run: no handle holds more than one run's directory, however many entries.
  if (auto plan = plan_zip_chunks(exe, archive_offset, options)) {
    for (const ZipChunk& chunk : plan->chunks) {
      ChunkSource run(exe, archive_offset, *plan, chunk);
      if (!run.ok()) {
        listing.fatal = Fatal::read_error;
        return listing;
      }
      if (!list_part(run, 0, options, observer, listing, top)) return listing;
    }
  } else if (!list_part(exe, archive_offset, options, observer, listing, top)) {
    return listing;
  }
  if (!listing.single_top_level) listing.top_level.clear();
  return listing;
}

}  // namespace kzsfx
