// What the engine reports: per-entry problems, the listing of pass one, the extraction summary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stub/core/safe_path.h"

namespace kzsfx {

// 7-Zip's exit codes, which scripts driving self-extractors already understand.
enum class ExitCode : int {
  ok = 0,
  warning = 1,
  fatal = 2,
  bad_command_line = 7,
  out_of_memory = 8,
  cancelled = 255,
};

// Why one entry was not extracted as it is in the archive. The front-end turns the kind into
// its own language; `detail` carries the library's or the platform's English message.
enum class Problem {
  none,
  refused_path,   // see EntryReport::refusal
  link_skipped,   // symbolic or hard link, device, fifo: never created
  kept_existing,  // the user chose to skip an existing file
  crc_mismatch,
  truncated,             // the archive ends inside the entry's data
  larger_than_declared,  // more data than the header announced: stopped, file removed
  unsupported,           // compression or encryption method the library cannot read
  password_required,     // encrypted and no password given
  wrong_password,
  data_error,           // any other damage found while decoding
  folder_failed,        // the destination could not create a folder
  write_failed,         // the destination could not create, write or commit the file
  metadata_not_set,     // extracted, but time or attributes could not be applied
  zone_mark_not_set,    // extracted, but the download mark could not be written
  zone_marks_not_kept,  // the destination keeps no download marks: no file got one (path empty)
  not_reached,          // listed in the zip's central directory, but never found by the reading
};

struct EntryReport {
  std::string path;  // the decoded name as in the archive (UTF-8), or the safe path
  Problem problem = Problem::none;
  PathRefusal refusal = PathRefusal::none;
  std::string detail;
};

// Faults that stop the whole run.
enum class Fatal {
  none,
  no_archive,           // nothing follows our image
  unknown_format,       // the appended bytes are neither zip nor 7z
  corrupt_archive,      // the archive's directory or headers are damaged
  unsupported_archive,  // readable only with what the library lacks: 7z with encrypted headers
  read_error,           // our own exe could not be read
  not_enough_space,     // declared total exceeds the destination's free space
  destination_failed,   // the destination folder itself could not be created
  out_of_memory,
};

struct Listing {
  Fatal fatal = Fatal::none;
  std::string fatal_detail;
  bool cancelled = false;
  std::string format;         // the library's format name, e.g. "ZIP 2.0 (deflation)"
  std::uint64_t entries = 0;  // every header read
  std::uint64_t files = 0;    // regular files with a safe name
  std::uint64_t folders = 0;
  std::uint64_t declared_total = 0;  // sum of the declared sizes of those files
  bool any_encrypted = false;        // the dialog may ask for the password up front
  // True when every safe entry lies under one first component (one file or one folder):
  // the dialog then extracts into the exe's folder, else into a subfolder named after it.
  bool single_top_level = false;
  std::string top_level;               // that component, when single_top_level
  std::vector<EntryReport> refused;    // unsafe names and links, known before extracting
  std::vector<EntryReport> unreached;  // directory records the reading never reached
};

struct ExtractResult {
  Fatal fatal = Fatal::none;
  std::string fatal_detail;
  bool cancelled = false;
  std::uint64_t files = 0;  // committed (or, when testing, verified) files
  std::uint64_t folders = 0;
  std::uint64_t bytes = 0;            // data bytes of those files
  std::vector<EntryReport> skipped;   // existing files kept at the user's choice
  std::vector<EntryReport> refused;   // unsafe names
  std::vector<EntryReport> failed;    // damaged, undecodable or unwritable; nothing left behind
  std::vector<EntryReport> warnings;  // links not created, metadata or mark not applied, unreached

  // out_of_memory > cancelled > fatal (fatal, refused or failed) > warning > ok.
  ExitCode exit_code() const;
};

// Short English names, for logs, tests and console output.
const char* describe(Problem problem);
const char* describe(Fatal fatal);

}  // namespace kzsfx
