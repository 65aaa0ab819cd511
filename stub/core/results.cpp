// The exit code of a run and English names for problems and faults.
#include "stub/core/results.h"

namespace kzsfx {

ExitCode ExtractResult::exit_code() const {
  if (fatal == Fatal::out_of_memory) return ExitCode::out_of_memory;
  if (cancelled) return ExitCode::cancelled;
  if (fatal != Fatal::none || !refused.empty() || !failed.empty()) return ExitCode::fatal;
  if (!warnings.empty()) return ExitCode::warning;
  return ExitCode::ok;
}

const char* describe(Problem problem) {
  switch (problem) {
    case Problem::none:
      return "ok";
    case Problem::refused_path:
      return "unsafe name refused";
    case Problem::link_skipped:
      return "link or special file not extracted";
    case Problem::kept_existing:
      return "existing file kept";
    case Problem::crc_mismatch:
      return "CRC mismatch";
    case Problem::truncated:
      return "data truncated";
    case Problem::larger_than_declared:
      return "more data than declared";
    case Problem::unsupported:
      return "unsupported method";
    case Problem::password_required:
      return "password required";
    case Problem::wrong_password:
      return "wrong password";
    case Problem::data_error:
      return "data error";
    case Problem::folder_failed:
      return "cannot create folder";
    case Problem::write_failed:
      return "cannot write file";
    case Problem::metadata_not_set:
      return "time or attributes not set";
    case Problem::zone_marks_not_kept:
      return "the destination's file system keeps no download marks";
    case Problem::zone_mark_not_set:
      return "download mark not set";
    case Problem::not_reached:
      return "listed in the archive's directory but never reached";
  }
  return "unknown";
}

const char* describe(Fatal fatal) {
  switch (fatal) {
    case Fatal::none:
      return "none";
    case Fatal::no_archive:
      return "no archive appended";
    case Fatal::unknown_format:
      return "not a zip or 7z archive";
    case Fatal::corrupt_archive:
      return "archive damaged or incomplete";
    case Fatal::unsupported_archive:
      return "archive encryption or structure not supported";
    case Fatal::read_error:
      return "cannot read the archive";
    case Fatal::not_enough_space:
      return "not enough free space";
    case Fatal::destination_failed:
      return "cannot create the destination folder";
    case Fatal::out_of_memory:
      return "out of memory";
  }
  return "unknown";
}

}  // namespace kzsfx
