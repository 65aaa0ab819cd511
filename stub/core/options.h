// How a run behaves: testing or writing, overwrite policy, password, name charset, download mark.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "stub/core/observer.h"
#include "stub/core/workers.h"

namespace kzsfx {

enum class OverwritePolicy { kAsk, kOverwriteAll, kSkipAll };

struct Options {
  // Decode and check every entry (CRC) without writing anything (-t).
  bool testOnly = false;
  OverwritePolicy overwrite = OverwritePolicy::kAsk;
  // Tried before asking the observer (-p). Empty: ask the observer when needed.
  PasswordForms password;
  // Charset of zip names that carry neither the UTF-8 flag nor a Unicode path field, as
  // libarchive's "hdrcharset" option: "CP936" (the ANSI code page) on Windows, "GBK" in
  // native tests. Empty leaves the library's default.
  std::string nameCharset;
  // Decodes a zip name's raw bytes from the system code page to UTF-8 (nothing when they do
  // not decode). With it, every zip name is decided here from the central directory, the
  // same way on every platform; without it, libarchive's decoding with nameCharset stands
  // for names that are neither flagged, nor carry a valid Unicode path field, nor come UTF-8
  // from a Unix archiver (libarchive then also takes a Unicode path field whose CRC is stale).
  std::function<std::optional<std::string>(std::string_view raw)> decodeLegacyName;
  // The exe's own Zone.Identifier content, copied onto every extracted file (see zone_mark.h).
  std::optional<std::string> zoneMark;
  // Compare the declared total with the destination's free space before writing.
  bool checkFreeSpace = true;
  // Threads to extract a zip's entries with, several at once, or to write a large file
  // behind its decoding. Null: one thread. The observer is then still called from one thread
  // at a time, but not always the same one; the destination from several at once
  // (destination.h), and an output file may be written by a thread other than its opener's.
  Workers* workers = nullptr;
};

}  // namespace kzsfx
