// Pass one: every header, no data: counts, declared total, top-level item, refusals.
#include <archive.h>
#include <cstdint>

#include "stub/core/archive_reader.h"
#include "stub/core/engine.h"
#include "stub/core/entry_info.h"
#include "stub/core/zip_layout.h"

namespace kzsfx {

namespace {

std::string ascii_lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

} // namespace

Listing list_archive(ByteSource& exe, std::uint64_t archive_offset, const Options& options, Observer& observer)
{
    Listing listing;
    if (archive_offset >= exe.size()) {
        listing.fatal = Fatal::no_archive;
        return listing;
    }
    ArchiveReader reader(exe, archive_offset, options, observer);
    if (!reader.open(listing.fatal, listing.fatal_detail)) {
        listing.cancelled = reader.cancelled();
        return listing;
    }
    archive* a = reader.get();
    EntryNamer namer(exe, archive_offset, options);
    bool any_safe = false;
    std::string top_level_key;
    for (;;) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(a, &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r < ARCHIVE_FAILED) {
            if (reader.cancelled()) {
                listing.cancelled = true;
            } else {
                listing.fatal = reader.header_failure();
                if (const char* message = archive_error_string(a))
                    listing.fatal_detail = message;
            }
            return listing;
        }
        if (listing.entries == 0)
            listing.format = archive_format_name(a) ? archive_format_name(a) : "";
        if (r == ARCHIVE_FAILED) {
            ++listing.entries;  // unusable header: extraction names it as failed
            continue;
        }
        EntryInfo info = inspect_entry(entry, namer.name(a, listing.entries, entry));
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
            listing.declared_total = size > UINT64_MAX - listing.declared_total ? UINT64_MAX
                                                                                : listing.declared_total + size;
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
        if (auto shared = find_shared_data(*directory)) {
            listing.fatal = Fatal::corrupt_archive;
            listing.fatal_detail = "entries " + *shared;
            return listing;
        }
        // What the directory lists but the reading never reached is named, never skipped silently.
        for (std::uint64_t index = listing.entries; index < namer.reachable_entries(); ++index)
            listing.unreached.push_back({namer.reachable_name(index), Problem::not_reached, PathRefusal::none, {}});
    }
    if (!listing.single_top_level)
        listing.top_level.clear();
    return listing;
}

} // namespace kzsfx
