// Entry names, kinds, sizes and metadata from libarchive's entry object.
#include "stub/core/entry_info.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>

#include "stub/core/utf8.h"

namespace kzsfx {

std::string decode_entry_name(archive_entry* entry) {
  if (const char* name = archive_entry_pathname_utf8(entry); name && *name && utf8::valid(name))
    return name;
  if (const wchar_t* wide = archive_entry_pathname_w(entry); wide && *wide) {
    if (std::string name = utf8::from_wide(wide); !name.empty()) return name;
  }
  if (const char* raw = archive_entry_pathname(entry)) return raw;
  return {};
}

void EntryNamer::load(archive* a) {
  if (loaded_) return;
  loaded_ = true;
  if ((archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP) return;
  directory_ = read_zip_directory(source_, offset_);
  if (!directory_) return;
  // libarchive's seekable reader keeps the first of records sharing a local header.
  const auto& records = directory_->records;
  for (std::size_t i = 0; i < records.size(); ++i)
    if (i == 0 || records[i - 1].local_offset != records[i].local_offset)
      first_at_offset_.push_back(i);
}

const ZipName* EntryNamer::record(std::uint64_t index, archive_entry* entry) const {
  if (index >= first_at_offset_.size()) return nullptr;
  const ZipName* record = &directory_->records[first_at_offset_[index]];
  const bool same_size = !archive_entry_size_is_set(entry) ||
                         static_cast<std::uint64_t>(archive_entry_size(entry)) == record->size;
  return same_size ? record : nullptr;
}

const std::optional<ZipDirectory>& EntryNamer::directory(archive* a) {
  load(a);
  return directory_;
}

std::optional<std::string> decoded_record_name(const ZipName& record, const Options& options) {
  if (auto name = zip_name_utf8(record)) return name;
  if (options.decode_legacy_name) {
    if (auto name = options.decode_legacy_name(record.raw); name && utf8::valid(*name)) return name;
  }
  return std::nullopt;
}

std::string EntryNamer::reachable_name(std::uint64_t index) const {
  if (index >= first_at_offset_.size()) return {};
  const ZipName& record = directory_->records[first_at_offset_[index]];
  return decoded_record_name(record, options_).value_or(record.raw);
}

std::string EntryNamer::name(archive* a, std::uint64_t index, archive_entry* entry) {
  load(a);
  if (const ZipName* record = this->record(index, entry)) {
    if (auto name = decoded_record_name(*record, options_)) return *name;
  }
  return decode_entry_name(entry);
}

EntryInfo inspect_entry(archive_entry* entry, std::string name) {
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
    // A 7z time is any 64-bit count of ticks: clamped, not left to overflow later.
    info.meta.modified_seconds = std::clamp<std::int64_t>(
        archive_entry_mtime(entry), earliest_modified_seconds, latest_modified_seconds);
    info.meta.modified_nanoseconds = static_cast<std::uint32_t>(
        std::clamp<long>(archive_entry_mtime_nsec(entry), 0, 999'999'999));
  }
  const auto mode = archive_entry_perm(entry);
  info.meta.read_only = (mode & 0222) == 0;
  info.meta.executable = (mode & 0111) != 0;
  return info;
}

}  // namespace kzsfx
