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

enum class Next { kGoOn, kReopen, kStop };

// Entries from this size on are written on a second thread while they decode, when the run
// has threads: below it, starting one costs more than the overlap gains.
constexpr std::uint64_t kWriteBehindFrom = 4 << 20;

class Extraction {
 public:
  Extraction(ByteSource& exe, std::uint64_t offset, Destination* destination,
             const Options& options, Observer& observer, std::uint64_t declaredTotal,
             DataBudget* budget)
      : exe_(exe),
        offset_(offset),
        destination_(destination),
        options_(options),
        observer_(observer),
        total_(declaredTotal),
        budget_(budget),
        policy_(options.overwrite),
        zoneMark_(ZoneMarkToCopy(options.zoneMark)) {}

  ExtractResult Run();

 private:
  Next Process(ArchiveReader& reader, EntryInfo info);
  Next ProcessFile(ArchiveReader& reader, const EntryInfo& info);
  // Copies the entry's data into `out` (null when only testing), a large entry's through a
  // second thread when there are threads to spare. Reports the failure itself.
  Next CopyData(ArchiveReader& reader, const EntryInfo& info, OutputFile* out, std::uint64_t& size,
                std::uint32_t& crc, bool& ok);
  // The same on this thread, each block handed to `write` (empty when only testing).
  Next CopyBlocks(ArchiveReader& reader, const EntryInfo& info,
                  const std::function<Status(const void*, std::size_t)>& write, std::uint64_t& size,
                  std::uint32_t& crc, bool& ok);
  Next AfterArchiveFailure(ArchiveReader& reader, la_ssize_t status, const std::string& path,
                           bool encrypted);
  bool DecideOverwrite(const std::string& path);

  void Note(std::vector<EntryReport>& list, EntryReport report) {
    observer_.EntryProblem(report);
    list.push_back(std::move(report));
  }
  void Fail(const std::string& path, Problem problem, std::string detail) {
    Note(result_.failed, {path, problem, PathRefusal::kNone, std::move(detail)});
    observer_.EntryFinished({path, 0, 0, false, problem});
  }

  ByteSource& exe_;
  const std::uint64_t offset_;
  Destination* const destination_;
  const Options& options_;
  Observer& observer_;
  const std::uint64_t total_;
  DataBudget* const budget_;  // the whole archive's, when this is one run of it
  OverwritePolicy policy_;
  const std::optional<std::string> zoneMark_;
  std::uint64_t done_ = 0;
  std::string lastParent_;  // the folder the previous file went into, made or found
  unsigned reopensLeft_ = 32;
  ExtractResult result_;
};

ExtractResult Extraction::Run() {
  // Entries already handled: after a read error inside one entry the archive is reopened
  // and the rest are still extracted.
  std::uint64_t handled = 0;
  for (;;) {
    ArchiveReader reader(exe_, offset_, options_, observer_);
    if (!reader.Open(result_.fatal, result_.fatalDetail)) {
      result_.cancelled = reader.Cancelled();
      return result_;
    }
    archive* a = reader.get();
    EntryNamer namer(exe_, offset_, options_);
    Next next = Next::kGoOn;
    for (std::uint64_t index = 0; next == Next::kGoOn; ++index) {
      archive_entry* entry = nullptr;
      const int r = reader.NextHeader(entry, result_.cancelled, result_.fatal, result_.fatalDetail);
      if (r == ARCHIVE_EOF || r < ARCHIVE_FAILED) return result_;
      if (index < handled) continue;
      if (r == ARCHIVE_FAILED) {
        // This header cannot be used (a link stored with an odd method, say); the next can.
        const char* message = archive_error_string(a);
        const std::string detail = message ? message : "";
        Fail(DecodeEntryName(entry), ClassifyDataError(detail, false), detail);
        handled = index + 1;
        continue;
      }
      EntryInfo info = InspectEntry(entry, namer.Name(a, index, entry));
      info.excessiveMemory = ExcessiveDecoderMemory(a, entry, exe_, offset_);
      next = Process(reader, std::move(info));
      handled = index + 1;
    }
    if (next == Next::kStop) return result_;
  }
}

Next Extraction::Process(ArchiveReader& reader, EntryInfo info) {
  if (!info.path.Ok()) {
    Note(result_.refused, {info.name, Problem::kRefusedPath, info.path.refusal, {}});
    observer_.EntryFinished({info.name, 0, 0, false, Problem::kRefusedPath});
    return Next::kGoOn;
  }
  const std::string path = info.path.Joined();
  reader.BeginEntry(path);
  observer_.Progress(done_, total_, path);
  if (observer_.Cancelled()) {
    result_.cancelled = true;
    return Next::kStop;
  }
  switch (info.kind) {
    case EntryKind::kLink:
    case EntryKind::kSpecial:
      Note(result_.warnings, {path, Problem::kLinkSkipped, PathRefusal::kNone, {}});
      observer_.EntryFinished({path, 0, 0, false, Problem::kLinkSkipped});
      return Next::kGoOn;
    case EntryKind::kFolder:
      if (!options_.testOnly) {
        if (Status status = destination_->CreateFolder(path); !status) {
          Fail(path, Problem::kFolderFailed, status.error);
          return Next::kGoOn;
        }
      }
      ++result_.folders;
      observer_.EntryFinished({path, 0, 0, true, Problem::kNone});
      return Next::kGoOn;
    case EntryKind::kFile:
      break;
  }
  return ProcessFile(reader, info);
}

bool Extraction::DecideOverwrite(const std::string& path) {
  switch (policy_) {
    case OverwritePolicy::kOverwriteAll:
      return true;
    case OverwritePolicy::kSkipAll:
      return false;
    case OverwritePolicy::kAsk:
      break;
  }
  switch (observer_.AskOverwrite(path)) {
    case OverwriteAnswer::kOverwrite:
      return true;
    case OverwriteAnswer::kSkip:
      return false;
    case OverwriteAnswer::kOverwriteAll:
      policy_ = OverwritePolicy::kOverwriteAll;
      return true;
    case OverwriteAnswer::kSkipAll:
      policy_ = OverwritePolicy::kSkipAll;
      return false;
  }
  return false;
}

Next Extraction::ProcessFile(ArchiveReader& reader, const EntryInfo& info) {
  const std::string path = info.path.Joined();
  TakeRefusedDecoderMemory();  // an earlier entry's, not reported: not this one's
  if (info.excessiveMemory) {
    Fail(path, Problem::kUnsupported, *info.excessiveMemory);
    return Next::kGoOn;
  }
  std::unique_ptr<OutputFile> out;
  bool replace = false;
  if (!options_.testOnly) {
    if (info.path.components.size() > 1) {
      // Files of one folder mostly follow each other: its creation is asked for once.
      const std::string parent =
          path.substr(0, path.size() - info.path.components.back().size() - 1);
      if (parent != lastParent_) {
        lastParent_.clear();
        if (Status status = destination_->CreateFolder(parent); !status) {
          Fail(path, Problem::kFolderFailed, status.error);
          return Next::kGoOn;
        }
        lastParent_ = parent;
      }
    }
    switch (destination_->Exists(path)) {
      case Existing::kFolder:
        Fail(path, Problem::kWriteFailed, "a folder of that name exists");
        return Next::kGoOn;
      case Existing::kOtherName:
        Note(result_.refused, {path, Problem::kRefusedPath, PathRefusal::kShortNameAlias, {}});
        observer_.EntryFinished({path, 0, 0, false, Problem::kRefusedPath});
        return Next::kGoOn;
      case Existing::kFile:
        if (!DecideOverwrite(path)) {
          Note(result_.skipped, {path, Problem::kKeptExisting, PathRefusal::kNone, {}});
          observer_.EntryFinished({path, 0, 0, false, Problem::kKeptExisting});
          return Next::kGoOn;
        }
        replace = true;
        break;
      case Existing::kNothing:
        break;
    }
    if (observer_.Cancelled()) {
      result_.cancelled = true;
      return Next::kStop;
    }
    Status status;
    out = destination_->OpenFile(path, status);
    if (!out) {
      Fail(path, Problem::kWriteFailed, status.Ok() ? "cannot create the file" : status.error);
      return Next::kGoOn;
    }
  }

  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  bool ok = false;
  Next next = CopyData(reader, info, out.get(), size, crc, ok);
  if (!ok) return next;  // `out` goes out of scope uncommitted: the temporary file is deleted

  if (out) {
    if (zoneMark_) {
      if (Status status = out->SetZoneMark(*zoneMark_); !status)
        Note(result_.warnings, {path, Problem::kZoneMarkNotSet, PathRefusal::kNone, status.error});
    }
    std::string metaWarning;
    if (Status status = out->Commit(info.meta, replace, metaWarning); !status) {
      Fail(path, Problem::kWriteFailed, status.error);
      return Next::kGoOn;
    }
    if (!metaWarning.empty())
      Note(result_.warnings, {path, Problem::kMetadataNotSet, PathRefusal::kNone, metaWarning});
  }
  ++result_.files;
  result_.bytes += size;
  observer_.EntryFinished({path, size, crc, false, Problem::kNone});
  return Next::kGoOn;
}

Next Extraction::CopyData(ArchiveReader& reader, const EntryInfo& info, OutputFile* out,
                          std::uint64_t& size, std::uint32_t& crc, bool& ok) {
  Workers* workers = options_.workers;
  if (!out || !workers || workers->Count() < 2 || !info.size || *info.size < kWriteBehindFrom) {
    std::function<Status(const void*, std::size_t)> write;
    if (out) write = [out](const void* data, std::size_t n) { return out->Write(data, n); };
    return CopyBlocks(reader, info, write, size, crc, ok);
  }
  WriteBehind behind(*workers, *out);
  Next next = Next::kGoOn;
  workers->Run([&](unsigned index) {
    if (index == 1) behind.WriteOut();
    if (index != 0) return;
    next = CopyBlocks(
        reader, info, [&](const void* data, std::size_t n) { return behind.Write(data, n); }, size,
        crc, ok);
    behind.Finish();
  });
  // Every block is written now, the last ones perhaps after the decoding ended.
  if (!behind.Failure().Ok() && ok) {
    Fail(info.path.Joined(), Problem::kWriteFailed, behind.Failure().error);
    ok = false;
  }
  return next;
}

Next Extraction::CopyBlocks(ArchiveReader& reader, const EntryInfo& info,
                            const std::function<Status(const void*, std::size_t)>& write,
                            std::uint64_t& size, std::uint32_t& crc, bool& ok) {
  const std::string path = info.path.Joined();
  archive* a = reader.get();
  // Takes one block: the checks on what the archive declared, then the file and the count.
  auto take = [&](const void* data, std::size_t n) -> bool {
    size += n;
    // The declared sizes are what the free-space check trusted: more is a lie or a bomb,
    // whether one entry outgrows its header or a damaged archive yields more in total.
    if (info.size && size > *info.size) {
      Fail(path, Problem::kLargerThanDeclared, "declared " + std::to_string(*info.size) + " bytes");
      return false;
    }
    if (done_ + n > total_ || (budget_ && !budget_->Take(n))) {
      Fail(path, Problem::kLargerThanDeclared, "more data than the archive declared in total");
      return false;
    }
    if (write) {
      if (Status status = write(data, n); !status) {
        Fail(path, Problem::kWriteFailed, status.error);
        return false;
      }
    }
    // libarchive checks the stored CRC itself; ours is only for the test listing.
    if (options_.testOnly) crc = Crc32Update(crc, data, n);
    done_ += n;
    observer_.Progress(done_, total_, path);
    return true;
  };
  for (;;) {
    if (observer_.Cancelled()) {
      result_.cancelled = true;
      return Next::kStop;
    }
    // libarchive's own decoded block, written as it is: no copy into a buffer of ours.
    const void* block = nullptr;
    std::size_t n = 0;
    la_int64_t at = 0;
    const int status = archive_read_data_block(a, &block, &n, &at);
    if (status == ARCHIVE_EOF) break;
    if (status < ARCHIVE_OK) return AfterArchiveFailure(reader, status, path, info.encrypted);
    // A block further on leaves a hole (sparse data): zeros fill it. One further back is damage.
    if (at < 0 || static_cast<std::uint64_t>(at) < size) {
      Fail(path, Problem::kDataError, "data out of order");
      return Next::kGoOn;
    }
    while (static_cast<std::uint64_t>(at) > size) {
      static constexpr unsigned char kZeros[256] = {};  // holes are rare: zip and 7z have none
      const auto gap =
          std::min<std::uint64_t>(static_cast<std::uint64_t>(at) - size, sizeof kZeros);
      if (!take(kZeros, static_cast<std::size_t>(gap))) return Next::kGoOn;
    }
    if (n > 0 && !take(block, n)) return Next::kGoOn;
  }
  if (info.size && size != *info.size) {
    Fail(path, Problem::kTruncated,
         "declared " + std::to_string(*info.size) + " bytes, got " + std::to_string(size));
    return Next::kGoOn;
  }
  ok = true;
  return Next::kGoOn;
}

Next Extraction::AfterArchiveFailure(ArchiveReader& reader, la_ssize_t status,
                                     const std::string& path, bool encrypted) {
  archive* a = reader.get();
  if (reader.Cancelled()) {
    result_.cancelled = true;
    return Next::kStop;
  }
  const char* message = archive_error_string(a);
  std::string detail = message ? message : "";
  if (reader.ReadFailed()) {
    result_.fatal = Fatal::kReadError;
    result_.fatalDetail = detail;
    return Next::kStop;
  }
  // A decoder that asked for more than its limit is the entry's doing, not the machine's.
  if (const auto asked = TakeRefusedDecoderMemory()) {
    Fail(path, Problem::kUnsupported, DescribeRefusedDecoderMemory(*asked));
  } else if (archive_errno(a) == ENOMEM && !DecoderMemoryRefused(detail)) {
    result_.fatal = Fatal::kOutOfMemory;
    result_.fatalDetail = detail;
    return Next::kStop;
  } else {
    Fail(path, ClassifyDataError(detail, encrypted), detail);
  }
  // After a fatal status libarchive refuses every further call on this handle, and after a
  // lesser one its position inside a damaged zip can no longer be trusted: the next entry
  // is read from a fresh handle, exactly where the listing found it. Each reopen rereads
  // the headers before it, so an archive of nothing but damaged entries gets a bounded
  // number; after that a lesser failure keeps the handle (names are still checked and the
  // declared total still caps the data) and a fatal one ends the run.
  if (reopensLeft_ > 0) {
    --reopensLeft_;
    return Next::kReopen;
  }
  if (status == ARCHIVE_FATAL) {
    result_.fatal = Fatal::kCorruptArchive;
    result_.fatalDetail = detail;
    return Next::kStop;
  }
  return Next::kGoOn;
}

}  // namespace

ExtractResult ExtractEntries(ByteSource& exe, std::uint64_t archiveOffset, Destination* destination,
                             const Options& options, Observer& observer,
                             std::uint64_t declaredTotal, DataBudget* budget) {
  return Extraction(exe, archiveOffset, destination, options, observer, declaredTotal, budget)
      .Run();
}

}  // namespace kzsfx
