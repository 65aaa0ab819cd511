// Decides whether an entry name from an archive may be written below the destination folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kzsfx {

enum class PathRefusal {
  none,
  empty,              // nothing left after dropping "." and empty components
  not_utf8,           // the name could not be decoded to valid text
  absolute,           // begins with a separator: "/etc/x", "\x"
  drive_letter,       // "C:x", "C:\x"
  unc,                // "\\server\share", "//server/share", "\\?\", "\\.\"
  parent_reference,   // a ".." component
  stream_colon,       // ':' anywhere (alternate data streams, drive-relative names)
  invalid_character,  // control characters or < > " | ? *
  hidden_character,   // characters that show nothing or reorder text (IsInvisibleCodePoint)
  device_name,        // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, any case or extension
  trailing_dot_or_space,  // Windows would silently strip them and write a different name
  too_long,               // a component longer than 255 UTF-16 units
  too_deep,               // more than max_path_depth components
  short_name_alias,       // resolves to an existing file or folder of another name (8.3 form)
};

// Components a name may have: far beyond any real tree, and what Windows' 32,767-character
// paths could hold anyway, so that no walk over a path's folders grows with the archive.
inline constexpr std::size_t max_path_depth = 1024;

struct SafePath {
  PathRefusal refusal = PathRefusal::none;
  std::vector<std::string> components;  // UTF-8, non-empty, none of them "." or ".."
  bool directory = false;               // the name ended with a separator

  bool ok() const { return refusal == PathRefusal::none; }
  // The components joined with '/': the form every path across the core's interface takes.
  std::string joined() const;
};

// `name` is UTF-8 as decoded from the archive; both '/' and '\' separate components.
SafePath check_entry_path(std::string_view name);

// Short English description of a refusal, for logs, tests and console output.
const char* describe(PathRefusal refusal);

}  // namespace kzsfx
