// Pass two's loop over the entries of an archive or of one run of it: decodes each entry and
// writes it through the destination, or only checks it.
#include "stub/core/entry_extraction.h"

#include <archive.h>
#include <algorithm>
#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "stub/core/archive_reader.h"
#include "stub/core/crc32.h"
#include "stub/core/decoder_limits.h"
#include "stub/core/decoder_memory.h"
#include "stub/core/entry_errors.h"
#include "stub/core/entry_info.h"
#include "stub/core/write_behind.h"
#include "stub/core/zone_mark.h"

namespace kzsfx {

namespace {

enum class Next { go_on, reopen, stop };

// Entries from this size on are written on a second thread while they decode, when the run
// has threads: below it, starting one costs more than the overlap gains.
constexpr std::uint64_t write_behind_from = 4 << 20;

class Extraction {
 public:
  Extraction(ByteSource& exe, std::uint64_t offset, Destination* destination,
             const Options& options, Observer& observer, std::uint64_t declared_total,
             DataBudget* budget)
      : exe_(exe),
        offset_(offset),
        destination_(destination),
        options_(options),
        observer_(observer),
        total_(declared_total),
        budget_(budget),
        policy_(options.overwrite),
        zone_mark_(zone_mark_to_copy(options.zone_mark)) {}

  ExtractResult run();

 private:
  Next process(ArchiveReader& reader, EntryInfo info);
  Next process_file(ArchiveReader& reader, const EntryInfo& info);
  // Copies the entry's data into `out` (null when only testing), a large entry's through a
  // second thread when there are threads to spare. Reports the failure itself.
  Next copy_data(ArchiveReader& reader, const EntryInfo& info, OutputFile* out, std::uint64_t& size,
                 std::uint32_t& crc, bool& ok);
  // The same on this thread, each block handed to `write` (empty when only testing).
  Next copy_blocks(ArchiveReader& reader, const EntryInfo& info,
                   const std::function<Status(const void*, std::size_t)>& write,
                   std::uint64_t& size, std::uint32_t& crc, bool& ok);
  Next after_archive_failure(ArchiveReader& reader, la_ssize_t status, const std::string& path,
                             bool encrypted);
  bool decide_overwrite(const std::string& path);

  void note(std::vector<EntryReport>& list, EntryReport report) {
    observer_.entry_problem(report);
    list.push_back(std::move(report));
  }
  void fail(const std::string& path, Problem problem, std::string detail) {
    note(result_.failed, {path, problem, PathRefusal::none, std::move(detail)});
    observer_.entry_finished({path, 0, 0, false, problem});
  }

  ByteSource& exe_;
  const std::uint64_t offset_;
  Destination* const destination_;
  const Options& options_;
  Observer& observer_;
  const std::uint64_t total_;
  DataBudget* const budget_;  // the whole archive's, when this is one run of it
  OverwritePolicy policy_;
  const std::optional<std::string> zone_mark_;
  std::uint64_t done_ = 0;
  std::string last_parent_;  // the folder the previous file went into, made or found
  unsigned reopens_left_ = 32;
  ExtractResult result_;
};

ExtractResult Extraction::run() {
  // Entries already handled: after a read error inside one entry the archive is reopened
  // and the rest are still extracted.
  std::uint64_t handled = 0;
  for (;;) {
    ArchiveReader reader(exe_, offset_, options_, observer_);
    if (!reader.open(result_.fatal, result_.fatal_detail)) {
      result_.cancelled = reader.cancelled();
      return result_;
    }
    archive* a = reader.get();
    EntryNamer namer(exe_, offset_, options_);
    Next next = Next::go_on;
    for (std::uint64_t index = 0; next == Next::go_on; ++index) {
      archive_entry* entry = nullptr;
      const int r =
          reader.next_header(entry, result_.cancelled, result_.fatal, result_.fatal_detail);
      if (r == ARCHIVE_EOF || r < ARCHIVE_FAILED) return result_;
      if (index < handled) continue;
      if (r == ARCHIVE_FAILED) {
        // This header cannot be used (a link stored with an odd method, say); the next can.
        const char* message = archive_error_string(a);
        const std::string detail = message ? message : "";
        fail(decode_entry_name(entry), classify_data_error(detail, false), detail);
        handled = index + 1;
        continue;
      }
      EntryInfo info = inspect_entry(entry, namer.name(a, index, entry));
      info.excessive_memory = excessive_decoder_memory(a, entry, exe_, offset_);
      next = process(reader, std::move(info));
      handled = index + 1;
    }
    if (next == Next::stop) return result_;
  }
}

Next Extraction::process(ArchiveReader& reader, EntryInfo info) {
  if (!info.path.ok()) {
    note(result_.refused, {info.name, Problem::refused_path, info.path.refusal, {}});
    observer_.entry_finished({info.name, 0, 0, false, Problem::refused_path});
    return Next::go_on;
  }
  const std::string path = info.path.joined();
  reader.begin_entry(path);
  observer_.progress(done_, total_, path);
  if (observer_.cancelled()) {
    result_.cancelled = true;
    return Next::stop;
  }
  switch (info.kind) {
    case EntryKind::link:
    case EntryKind::special:
      note(result_.warnings, {path, Problem::link_skipped, PathRefusal::none, {}});
      observer_.entry_finished({path, 0, 0, false, Problem::link_skipped});
      return Next::go_on;
    case EntryKind::folder:
      if (!options_.test_only) {
        if (Status status = destination_->create_folder(path); !status) {
          fail(path, Problem::folder_failed, status.error);
          return Next::go_on;
        }
      }
      ++result_.folders;
      observer_.entry_finished({path, 0, 0, true, Problem::none});
      return Next::go_on;
    case EntryKind::file:
      break;
  }
  return process_file(reader, info);
}

bool Extraction::decide_overwrite(const std::string& path) {
  switch (policy_) {
    case OverwritePolicy::overwrite_all:
      return true;
    case OverwritePolicy::skip_all:
      return false;
    case OverwritePolicy::ask:
      break;
  }
  switch (observer_.ask_overwrite(path)) {
    case OverwriteAnswer::overwrite:
      return true;
    case OverwriteAnswer::skip:
      return false;
    case OverwriteAnswer::overwrite_all:
      policy_ = OverwritePolicy::overwrite_all;
      return true;
    case OverwriteAnswer::skip_all:
      policy_ = OverwritePolicy::skip_all;
      return false;
  }
  return false;
}

Next Extraction::process_file(ArchiveReader& reader, const EntryInfo& info) {
  const std::string path = info.path.joined();
  take_refused_decoder_memory();  // an earlier entry's, not reported: not this one's
  if (info.excessive_memory) {
    fail(path, Problem::unsupported, *info.excessive_memory);
    return Next::go_on;
  }
  std::unique_ptr<OutputFile> out;
  bool replace = false;
  if (!options_.test_only) {
    if (info.path.components.size() > 1) {
      // Files of one folder mostly follow each other: its creation is asked for once.
      const std::string parent =
          path.substr(0, path.size() - info.path.components.back().size() - 1);
      if (parent != last_parent_) {
        last_parent_.clear();
        if (Status status = destination_->create_folder(parent); !status) {
          fail(path, Problem::folder_failed, status.error);
          return Next::go_on;
        }
        last_parent_ = parent;
      }
    }
    switch (destination_->exists(path)) {
      case Existing::folder:
        fail(path, Problem::write_failed, "a folder of that name exists");
        return Next::go_on;
      case Existing::other_name:
        note(result_.refused, {path, Problem::refused_path, PathRefusal::short_name_alias, {}});
        observer_.entry_finished({path, 0, 0, false, Problem::refused_path});
        return Next::go_on;
      case Existing::file:
        if (!decide_overwrite(path)) {
          note(result_.skipped, {path, Problem::kept_existing, PathRefusal::none, {}});
          observer_.entry_finished({path, 0, 0, false, Problem::kept_existing});
          return Next::go_on;
        }
        replace = true;
        break;
      case Existing::nothing:
        break;
    }
    if (observer_.cancelled()) {
      result_.cancelled = true;
      return Next::stop;
    }
    Status status;
    out = destination_->open_file(path, status);
    if (!out) {
      fail(path, Problem::write_failed, status.ok() ? "cannot create the file" : status.error);
      return Next::go_on;
    }
  }

  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  bool ok = false;
  Next next = copy_data(reader, info, out.get(), size, crc, ok);
  if (!ok) return next;  // `out` goes out of scope uncommitted: the temporary file is deleted

  if (out) {
    if (zone_mark_) {
      if (Status status = out->set_zone_mark(*zone_mark_); !status)
        note(result_.warnings, {path, Problem::zone_mark_not_set, PathRefusal::none, status.error});
    }
    std::string meta_warning;
    if (Status status = out->commit(info.meta, replace, meta_warning); !status) {
      fail(path, Problem::write_failed, status.error);
      return Next::go_on;
    }
    if (!meta_warning.empty())
      note(result_.warnings, {path, Problem::metadata_not_set, PathRefusal::none, meta_warning});
  }
  ++result_.files;
  result_.bytes += size;
  observer_.entry_finished({path, size, crc, false, Problem::none});
  return Next::go_on;
}

Next Extraction::copy_data(ArchiveReader& reader, const EntryInfo& info, OutputFile* out,
                           std::uint64_t& size, std::uint32_t& crc, bool& ok) {
  Workers* workers = options_.workers;
  if (!out || !workers || workers->count() < 2 || !info.size || *info.size < write_behind_from) {
    std::function<Status(const void*, std::size_t)> write;
    if (out) write = [out](const void* data, std::size_t n) { return out->write(data, n); };
    return copy_blocks(reader, info, write, size, crc, ok);
  }
  WriteBehind behind(*workers, *out);
  Next next = Next::go_on;
  workers->run([&](unsigned index) {
    if (index == 1) behind.write_out();
    if (index != 0) return;
    next = copy_blocks(
        reader, info, [&](const void* data, std::size_t n) { return behind.write(data, n); }, size,
        crc, ok);
    behind.finish();
  });
  // Every block is written now, the last ones perhaps after the decoding ended.
  if (!behind.failure().ok() && ok) {
    fail(info.path.joined(), Problem::write_failed, behind.failure().error);
    ok = false;
  }
  return next;
}

Next Extraction::copy_blocks(ArchiveReader& reader, const EntryInfo& info,
                             const std::function<Status(const void*, std::size_t)>& write,
                             std::uint64_t& size, std::uint32_t& crc, bool& ok) {
  const std::string path = info.path.joined();
  archive* a = reader.get();
  // Takes one block: the checks on what the archive declared, then the file and the count.
  auto take = [&](const void* data, std::size_t n) -> bool {
    size += n;
    // The declared sizes are what the free-space check trusted: more is a lie or a bomb,
    // whether one entry outgrows its header or a damaged archive yields more in total.
    if (info.size && size > *info.size) {
      fail(path, Problem::larger_than_declared,
           "declared " + std::to_string(*info.size) + " bytes");
      return false;
    }
    if (done_ + n > total_ || (budget_ && !budget_->take(n))) {
      fail(path, Problem::larger_than_declared, "more data than the archive declared in total");
      return false;
    }
    if (write) {
      if (Status status = write(data, n); !status) {
        fail(path, Problem::write_failed, status.error);
        return false;
      }
    }
    // libarchive checks the stored CRC itself; ours is only for the test listing.
    if (options_.test_only) crc = crc32_update(crc, data, n);
    done_ += n;
    observer_.progress(done_, total_, path);
    return true;
  };
  for (;;) {
    if (observer_.cancelled()) {
      result_.cancelled = true;
      return Next::stop;
    }
    // libarchive's own decoded block, written as it is: no copy into a buffer of ours.
    const void* block = nullptr;
    std::size_t n = 0;
    la_int64_t at = 0;
    const int status = archive_read_data_block(a, &block, &n, &at);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_OK) return after_archive_failure(reader, status, path, info.encrypted);
    // A block further on leaves a hole (sparse data): zeros fill it. One further back is damage.
    if (at < 0 || static_cast<std::uint64_t>(at) < size) {
      fail(path, Problem::data_error, "data out of order");
      return Next::go_on;
    }
    while (static_cast<std::uint64_t>(at) > size) {
      static constexpr unsigned char zeros[256] = {};  // holes are rare: zip and 7z have none
      const auto gap = std::min<std::uint64_t>(static_cast<std::uint64_t>(at) - size, sizeof zeros);
      if (!take(zeros, static_cast<std::size_t>(gap))) return Next::go_on;
    }
    if (n > 0 && !take(block, n)) return Next::go_on;
  }
  if (info.size && size != *info.size) {
    fail(path, Problem::truncated,
         "declared " + std::to_string(*info.size) + " bytes, got " + std::to_string(size));
    return Next::go_on;
  }
  ok = true;
  return Next::go_on;
}

Next Extraction::after_archive_failure(ArchiveReader& reader, la_ssize_t status,
                                       const std::string& path, bool encrypted) {
  archive* a = reader.get();
  if (reader.cancelled()) {
    result_.cancelled = true;
    return Next::stop;
  }
  const char* message = archive_error_string(a);
  std::string detail = message ? message : "";
  if (reader.read_failed()) {
    result_.fatal = Fatal::read_error;
    result_.fatal_detail = detail;
    return Next::stop;
  }
  // A decoder that asked for more than its limit is the entry's doing, not the machine's.
  if (const auto asked = take_refused_decoder_memory()) {
    fail(path, Problem::unsupported, describe_refused_decoder_memory(*asked));
  } else if (archive_errno(a) == ENOMEM && !decoder_memory_refused(detail)) {
    result_.fatal = Fatal::out_of_memory;
    result_.fatal_detail = detail;
    return Next::stop;
  } else {
    fail(path, classify_data_error(detail, encrypted), detail);
  }
  // After a fatal status libarchive refuses every further call on this handle, and after a
  // lesser one its position inside a damaged zip can no longer be trusted: the next entry
  // is read from a fresh handle, exactly where the listing found it. Each reopen rereads
  // the headers before it, so an archive of nothing but damaged entries gets a bounded
  // number; after that a lesser failure keeps the handle (names are still checked and the
  // declared total still caps the data) and a fatal one ends the run.
  if (reopens_left_ > 0) {
    --reopens_left_;
    return Next::reopen;
  }
  if (status == ARCHIVE_FATAL) {
    result_.fatal = Fatal::corrupt_archive;
    result_.fatal_detail = detail;
    return Next::stop;
  }
  return Next::go_on;
}

}  // namespace

ExtractResult extract_entries(ByteSource& exe, std::uint64_t archive_offset,
                              Destination* destination, const Options& options, Observer& observer,
                              std::uint64_t declared_total, DataBudget* budget) {
  return Extraction(exe, archive_offset, destination, options, observer, declared_total, budget)
      .run();
}

}  // namespace kzsfx
