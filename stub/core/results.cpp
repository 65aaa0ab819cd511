// The exit code of a run and English names for problems and faults.
#include "stub/core/results.h"

namespace kzsfx {

ExitCode ExtractResult::exit_code() const {
  if (fatal == Fatal::kOutOfMemory) return ExitCode::kOutOfMemory;
  if (cancelled) return ExitCode::kCancelled;
  if (fatal != Fatal::kNone || !refused.empty() || !failed.empty()) return ExitCode::kFatal;
  if (!warnings.empty()) return ExitCode::kWarning;
  return ExitCode::kOk;
}

const char* Describe(Problem problem) {
  switch (problem) {
    case Problem::kNone:
      return "ok";
    case Problem::kRefusedPath:
      return "unsafe name refused";
    case Problem::kLinkSkipped:
      return "link or special file not extracted";
    case Problem::kKeptExisting:
      return "existing file kept";
    case Problem::kCrcMismatch:
      return "CRC mismatch";
    case Problem::kTruncated:
      return "data truncated";
    case Problem::kLargerThanDeclared:
      return "more data than declared";
    case Problem::kUnsupported:
      return "unsupported method";
    case Problem::kPasswordRequired:
      return "password required";
    case Problem::kWrongPassword:
      return "wrong password";
    case Problem::kDataError:
      return "data error";
    case Problem::kFolderFailed:
      return "cannot create folder";
    case Problem::kWriteFailed:
      return "cannot write file";
    case Problem::kMetadataNotSet:
      return "time or attributes not set";
    case Problem::kZoneMarksNotKept:
      return "the destination's file system keeps no download marks";
    case Problem::kZoneMarkNotSet:
      return "download mark not set";
    case Problem::kNotReached:
      return "listed in the archive's directory but never reached";
  }
  return "unknown";
}

const char* Describe(Fatal fatal) {
  switch (fatal) {
    case Fatal::kNone:
      return "none";
    case Fatal::kNoArchive:
      return "no archive appended";
    case Fatal::kUnknownFormat:
      return "not a zip or 7z archive";
    case Fatal::kCorruptArchive:
      return "archive damaged or incomplete";
    case Fatal::kUnsupportedArchive:
      return "archive encryption or structure not supported";
    case Fatal::kReadError:
      return "cannot read the archive";
    case Fatal::kNotEnoughSpace:
      return "not enough free space";
    case Fatal::kDestinationFailed:
      return "cannot create the destination folder";
    case Fatal::kOutOfMemory:
      return "out of memory";
  }
  return "unknown";
}

}  // namespace kzsfx
