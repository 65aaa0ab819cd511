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

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

struct TopLevel {
  bool anySafe = false;
  std::string key;
};

// Reads the headers of the archive, or of one run of it, into `listing`; false on a fault.
bool ListPart(ByteSource& exe, std::uint64_t archiveOffset, const Options& options,
              Observer& observer, Listing& listing, TopLevel& top) {
  ArchiveReader reader(exe, archiveOffset, options, observer);
  if (!reader.Open(listing.fatal, listing.fatalDetail)) {
    listing.cancelled = reader.Cancelled();
    return false;
  }
  archive* a = reader.get();
  EntryNamer namer(exe, archiveOffset, options);
  const std::uint64_t entriesBefore = listing.entries;
  bool& anySafe = top.anySafe;
  std::string& topLevelKey = top.key;
  for (std::uint64_t index = 0;; ++index) {
    archive_entry* entry = nullptr;
    const int r = reader.NextHeader(entry, listing.cancelled, listing.fatal, listing.fatalDetail);
    if (r == ARCHIVE_EOF) break;
    if (r < ARCHIVE_FAILED) return false;
    if (listing.entries == 0) listing.format = archive_format_name(a) ? archive_format_name(a) : "";
    if (r == ARCHIVE_FAILED) {
      ++listing.entries;  // unusable header: extraction names it as failed
      continue;
    }
    EntryInfo info = InspectEntry(entry, namer.Name(a, index, entry));
    ++listing.entries;
    listing.anyEncrypted = listing.anyEncrypted || info.encrypted;
    if (!info.path.Ok()) {
      listing.refused.push_back({info.name, Problem::kRefusedPath, info.path.refusal, {}});
      continue;
    }
    if (info.kind == EntryKind::kLink || info.kind == EntryKind::kSpecial) {
      listing.refused.push_back(
          {info.path.Joined(), Problem::kLinkSkipped, PathRefusal::kNone, {}});
      continue;
    }
    if (info.kind == EntryKind::kFolder) {
      ++listing.folders;
    } else {
      ++listing.files;
      // Saturate: hostile sizes must not wrap round to something that looks small.
      const std::uint64_t size = info.size.value_or(0);
      listing.declaredTotal =
          size > UINT64_MAX - listing.declaredTotal ? UINT64_MAX : listing.declaredTotal + size;
    }
    // Windows names are case-insensitive: "Doc/a" and "doc/b" share one top folder.
    std::string key = AsciiLower(info.path.components.front());
    if (!anySafe) {
      anySafe = true;
      topLevelKey = key;
      listing.topLevel = info.path.components.front();
      listing.singleTopLevel = true;
    } else if (key != topLevelKey) {
      listing.singleTopLevel = false;
    }
  }
  if (const auto& directory = namer.Directory(a)) {
    // Records sharing data make a small archive extract to any size (the non-recursive
    // zip bomb): no archiver writes them, so the archive is damaged.
    if (auto shared = FindSharedData(exe, archiveOffset, *directory)) {
      listing.fatal = Fatal::kCorruptArchive;
      listing.fatalDetail = "entries " + *shared;
      return false;
    }
    // What the directory lists but the reading never reached is named, never skipped silently.
    for (std::uint64_t index = listing.entries - entriesBefore; index < namer.ReachableEntries();
         ++index)
      listing.unreached.push_back(
          {namer.ReachableName(index), Problem::kNotReached, PathRefusal::kNone, {}});
  }
  return true;
}

}  // namespace

Listing ListArchive(ByteSource& exe, std::uint64_t archiveOffset, const Options& options,
                    Observer& observer) {
  Listing listing;
  if (archiveOffset >= exe.size()) {
    listing.fatal = Fatal::kNoArchive;
    return listing;
  }
  TopLevel top;
  // A zip run by run: no handle holds more than one run's directory, however many entries.
  if (auto plan = PlanZipChunks(exe, archiveOffset, options)) {
    for (const ZipChunk& chunk : plan->chunks) {
      ChunkSource run(exe, archiveOffset, *plan, chunk);
      if (!run.Ok()) {
        listing.fatal = Fatal::kReadError;
        return listing;
      }
      if (!ListPart(run, 0, options, observer, listing, top)) return listing;
    }
  } else if (!ListPart(exe, archiveOffset, options, observer, listing, top)) {
    return listing;
  }
  if (!listing.singleTopLevel) listing.topLevel.clear();
  return listing;
}

}  // namespace kzsfx
