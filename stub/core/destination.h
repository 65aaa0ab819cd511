// Where extracted files go: the folder operations the engine needs, implemented per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "stub/core/status.h"

namespace kzsfx {

// Every path given to a Destination is relative to the destination folder, UTF-8, with '/'
// separators, and has already passed CheckEntryPath: no empty, ".", ".." or unsafe
// components. The Windows side converts it to UTF-16 only at the W call.

// What a FILETIME holds (1601 to 30828): the engine clamps archive times to this range, so a
// conversion to 100 ns ticks since 1601 in signed 64 bits never overflows.
inline constexpr std::int64_t kEarliestModifiedSeconds = -11644473600;
inline constexpr std::int64_t kLatestModifiedSeconds = 910692730084;

struct FileMetadata {
  std::optional<std::int64_t> modifiedSeconds;  // since 1970-01-01 UTC, within the range above
  std::uint32_t modifiedNanoseconds = 0;        // below one second
  bool readOnly = false;                        // set after the data is in place
  bool executable = false;                      // posix permission bits; ignored on Windows
};

// `kOtherName`: the path leads to a file or folder whose real name is another (Windows took
// the name for its 8.3 short name), which the entry must not replace or write into.
enum class Existing { kNothing, kFile, kFolder, kOtherName };

// A file being written in its target folder, under a temporary name or (new names, where the
// platform can take the deletion back) under its real name, pending deletion. It only becomes
// a file under its real name through commit(); destroying it uncommitted deletes it, so a
// cancel, a CRC failure or a crash in the middle never leaves a complete-looking file.
class OutputFile {
 public:
  virtual ~OutputFile() = default;

  virtual Status Write(const void* data, std::size_t size) = 0;

  // Writes the download mark (the exe's Zone.Identifier content) onto the temporary file,
  // so the file never exists under its real name without it. Called before commit().
  virtual Status SetZoneMark(std::string_view content) = 0;

  // Flushes, closes and gives it the real name, replacing an existing file when
  // `replaceExisting` (the user agreed), then applies `meta`. A failure to apply the
  // metadata is not a failure of the commit: it is reported through `metaWarning`.
  virtual Status Commit(const FileMetadata& meta, bool replaceExisting,
                        std::string& metaWarning) = 0;
};

// Extraction on several threads calls one Destination from all of them at once, for
// different paths: implementations are thread-safe. Each OutputFile is used by one thread.
class Destination {
 public:
  virtual ~Destination() = default;

  // Creates the folder and any missing parents; an existing folder is success.
  virtual Status CreateFolder(const std::string& path) = 0;

  virtual Existing Exists(const std::string& path) = 0;

  // Opens a new temporary file in the folder of `path` (the folder exists: the engine
  // creates parents first). The temporary name never clashes with an existing file.
  virtual std::unique_ptr<OutputFile> OpenFile(const std::string& path, Status& status) = 0;

  // Bytes available to us at the destination, or nothing when it cannot be told.
  virtual std::optional<std::uint64_t> FreeSpace() = 0;

  // Whether files here can carry the download mark at all: not on a file system without
  // alternate streams (FAT, exFAT), where the engine then says so once for the whole run.
  virtual bool KeepsZoneMarks() { return true; }
};

}  // namespace kzsfx
