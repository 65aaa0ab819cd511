// What the engine reports: per-entry problems, the listing of pass one, the extraction summary.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "stub/core/safe_path.h"

namespace kzsfx {

// 7-Zip's exit codes, which scripts driving self-extractors already understand.
enum class ExitCode : int {
  kOk = 0,
  kWarning = 1,
  kFatal = 2,
  kBadCommandLine = 7,
  kOutOfMemory = 8,
  kCancelled = 255,
};

// Why one entry was not extracted as it is in the archive. The front-end turns the kind into
// its own language; `detail` carries the library's or the platform's English message.
enum class Problem {
  kNone,
  kRefusedPath,   // see EntryReport::refusal
  kLinkSkipped,   // symbolic or hard link, device, fifo: never created
  kKeptExisting,  // the user chose to skip an existing file
  kCrcMismatch,
  kTruncated,           // the archive ends inside the entry's data
  kLargerThanDeclared,  // more data than the header announced: stopped, file removed
  kUnsupported,         // compression or encryption method the library cannot read
  kPasswordRequired,    // encrypted and no password given
  kWrongPassword,
  kDataError,         // any other damage found while decoding
  kFolderFailed,      // the destination could not create a folder
  kWriteFailed,       // the destination could not create, write or commit the file
  kMetadataNotSet,    // extracted, but time or attributes could not be applied
  kZoneMarkNotSet,    // extracted, but the download mark could not be written
  kZoneMarksNotKept,  // the destination keeps no download marks: no file got one (path empty)
  kNotReached,        // listed in the zip's central directory, but never found by the reading
};

struct EntryReport {
  std::string path;  // the decoded name as in the archive (UTF-8), or the safe path
  Problem problem = Problem::kNone;
  PathRefusal refusal = PathRefusal::kNone;
  std::string detail;
};

// Faults that stop the whole run.
enum class Fatal {
  kNone,
  kNoArchive,           // nothing follows our image
  kUnknownFormat,       // the appended bytes are neither zip nor 7z
  kCorruptArchive,      // the archive's directory or headers are damaged
  kUnsupportedArchive,  // readable only with what the library lacks: 7z with encrypted headers
  kReadError,           // our own exe could not be read
  kNotEnoughSpace,      // declared total exceeds the destination's free space
  kDestinationFailed,   // the destination folder itself could not be created
  kOutOfMemory,
};

struct Listing {
  Fatal fatal = Fatal::kNone;
  std::string fatalDetail;
  bool cancelled = false;
  std::string format;         // the library's format name, e.g. "ZIP 2.0 (deflation)"
  std::uint64_t entries = 0;  // every header read
  std::uint64_t files = 0;    // regular files with a safe name
  std::uint64_t folders = 0;
  std::uint64_t declaredTotal = 0;  // sum of the declared sizes of those files
  bool anyEncrypted = false;        // the dialog may ask for the password up front
  // True when every safe entry lies under one first component (one file or one folder):
  // the dialog then extracts into the exe's folder, else into a subfolder named after it.
  bool singleTopLevel = false;
  std::string topLevel;                // that component, when singleTopLevel
  std::vector<EntryReport> refused;    // unsafe names and links, known before extracting
  std::vector<EntryReport> unreached;  // directory records the reading never reached
};

struct ExtractResult {
  Fatal fatal = Fatal::kNone;
  std::string fatalDetail;
  bool cancelled = false;
  std::uint64_t files = 0;  // committed (or, when testing, verified) files
  std::uint64_t folders = 0;
  std::uint64_t bytes = 0;            // data bytes of those files
  std::vector<EntryReport> skipped;   // existing files kept at the user's choice
  std::vector<EntryReport> refused;   // unsafe names
  std::vector<EntryReport> failed;    // damaged, undecodable or unwritable; nothing left behind
  std::vector<EntryReport> warnings;  // links not created, metadata or mark not applied, unreached

  // kOutOfMemory > kCancelled > kFatal (fatal, refused or failed) > kWarning > kOk.
  ExitCode exit_code() const;
};

// Short English names, for logs, tests and console output.
const char* Describe(Problem problem);
const char* Describe(Fatal fatal);

}  // namespace kzsfx
