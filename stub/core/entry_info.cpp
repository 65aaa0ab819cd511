// Entry names, kinds, sizes and metadata from libarchive's entry object.
#include "stub/core/entry_info.h"

#include <archive.h>
#include <archive_entry.h>

#include "stub/core/utf8.h"

namespace kzsfx {

std::string decode_entry_name(archive_entry* entry)
{
    if (const char* name = archive_entry_pathname_utf8(entry); name && *name && utf8::valid(name))
        return name;
    if (const wchar_t* wide = archive_entry_pathname_w(entry); wide && *wide) {
        if (std::string name = utf8::from_wide(wide); !name.empty())
            return name;
    }
    if (const char* raw = archive_entry_pathname(entry))
        return raw;
    return {};
}

std::string EntryNamer::name(archive* a, std::uint64_t index, archive_entry* entry)
{
    if (!loaded_) {
        loaded_ = true;
        if ((archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP)
            zip_ = read_zip_names(source_, offset_);
    }
    if (zip_ && index < zip_->size()) {
        const ZipName& record = (*zip_)[index];
        const bool same_size = !archive_entry_size_is_set(entry) ||
                               static_cast<std::uint64_t>(archive_entry_size(entry)) == record.size;
        if (same_size) {
            if (auto name = zip_name_utf8(record))
                return *name;
            if (options_.decode_legacy_name) {
                if (auto name = options_.decode_legacy_name(record.raw); name && utf8::valid(*name))
                    return *name;
            }
        }
    }
    return decode_entry_name(entry);
}

EntryInfo inspect_entry(archive_entry* entry, std::string name)
{
    EntryInfo info;
    info.name = std::move(name);
    info.path = check_entry_path(info.name);
    const auto type = archive_entry_filetype(entry);
    if (archive_entry_hardlink(entry) != nullptr || type == AE_IFLNK)
        info.kind = EntryKind::link;
    else if (type == AE_IFDIR || info.path.directory)
        info.kind = EntryKind::folder;
    else if (type == AE_IFREG || type == 0)
        info.kind = EntryKind::file;
    else
        info.kind = EntryKind::special;
    if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
        info.size = static_cast<std::uint64_t>(archive_entry_size(entry));
    info.encrypted = archive_entry_is_encrypted(entry) != 0;
    if (archive_entry_mtime_is_set(entry)) {
        info.meta.modified_seconds = archive_entry_mtime(entry);
        info.meta.modified_nanoseconds = static_cast<std::uint32_t>(archive_entry_mtime_nsec(entry));
    }
    const auto mode = archive_entry_perm(entry);
    info.meta.read_only = (mode & 0222) == 0;
    info.meta.executable = (mode & 0111) != 0;
    return info;
}

} // namespace kzsfx
