// Entry names, kinds, sizes and metadata from libarchive's entry object.
#include "stub/core/entry_info.h"

#include <algorithm>
#include <archive.h>
#include <archive_entry.h>

#include "stub/core/utf8.h"

namespace kzsfx {

std::string DecodeEntryName(archive_entry* entry) {
  if (const char* name = archive_entry_pathname_utf8(entry); name && *name && utf8::Valid(name))
    return name;
  if (const wchar_t* wide = archive_entry_pathname_w(entry); wide && *wide) {
    if (std::string name = utf8::FromWide(wide); !name.empty()) return name;
  }
  if (const char* raw = archive_entry_pathname(entry)) return raw;
  return {};
}

void EntryNamer::Load(archive* a) {
  if (loaded_) return;
  loaded_ = true;
  if ((archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_ZIP) return;
  directory_ = ReadZipDirectory(source_, offset_);
  if (!directory_) return;
  // libarchive's seekable reader keeps the first of records sharing a local header.
  const auto& records = directory_->records;
  for (std::size_t i = 0; i < records.size(); ++i)
    if (i == 0 || records[i - 1].localOffset != records[i].localOffset) firstAtOffset_.push_back(i);
}

const ZipName* EntryNamer::Record(std::uint64_t index, archive_entry* entry) const {
  if (index >= firstAtOffset_.size()) return nullptr;
  const ZipName* record = &directory_->records[firstAtOffset_[index]];
  const bool sameSize = !archive_entry_size_is_set(entry) ||
                        static_cast<std::uint64_t>(archive_entry_size(entry)) == record->size;
  return sameSize ? record : nullptr;
}

const std::optional<ZipDirectory>& EntryNamer::Directory(archive* a) {
  Load(a);
  return directory_;
}

std::optional<std::string> DecodedRecordName(const ZipName& record, const Options& options) {
  if (auto name = ZipNameUtf8(record)) return name;
  if (options.decodeLegacyName) {
    if (auto name = options.decodeLegacyName(record.raw); name && utf8::Valid(*name)) return name;
  }
  return std::nullopt;
}

std::string EntryNamer::ReachableName(std::uint64_t index) const {
  if (index >= firstAtOffset_.size()) return {};
  const ZipName& record = directory_->records[firstAtOffset_[index]];
  return DecodedRecordName(record, options_).value_or(record.raw);
}

std::string EntryNamer::Name(archive* a, std::uint64_t index, archive_entry* entry) {
  Load(a);
  if (const ZipName* record = this->Record(index, entry)) {
    if (auto name = DecodedRecordName(*record, options_)) return *name;
  }
  return DecodeEntryName(entry);
}

EntryInfo InspectEntry(archive_entry* entry, std::string name) {
  EntryInfo info;
  info.name = std::move(name);
  info.path = CheckEntryPath(info.name);
  const auto type = archive_entry_filetype(entry);
  if (archive_entry_hardlink(entry) != nullptr || type == AE_IFLNK)
    info.kind = EntryKind::kLink;
  else if (type == AE_IFDIR || info.path.directory)
    info.kind = EntryKind::kFolder;
  else if (type == AE_IFREG || type == 0)
    info.kind = EntryKind::kFile;
  else
    info.kind = EntryKind::kSpecial;
  if (archive_entry_size_is_set(entry) && archive_entry_size(entry) >= 0)
    info.size = static_cast<std::uint64_t>(archive_entry_size(entry));
  info.encrypted = archive_entry_is_encrypted(entry) != 0;
  if (archive_entry_mtime_is_set(entry)) {
    // A 7z time is any 64-bit count of ticks: clamped, not left to overflow later.
    info.meta.modifiedSeconds = std::clamp<std::int64_t>(
        archive_entry_mtime(entry), kEarliestModifiedSeconds, kLatestModifiedSeconds);
    info.meta.modifiedNanoseconds = static_cast<std::uint32_t>(
        std::clamp<long>(archive_entry_mtime_nsec(entry), 0, 999'999'999));
  }
  const auto mode = archive_entry_perm(entry);
  info.meta.readOnly = (mode & 0222) == 0;
  info.meta.executable = (mode & 0111) != 0;
  return info;
}

}  // namespace kzsfx
