// Decides whether an entry name from an archive may be written below the destination folder.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kzsfx {

enum class PathRefusal {
  kNone,
  kEmpty,             // nothing left after dropping "." and empty components
  kNotUtf8,           // the name could not be decoded to valid text
  kAbsolute,          // begins with a separator: "/etc/x", "\x"
  kDriveLetter,       // "C:x", "C:\x"
  kUnc,               // "\\server\share", "//server/share", "\\?\", "\\.\"
  kParentReference,   // a ".." component
  kStreamColon,       // ':' anywhere (alternate data streams, drive-relative names)
  kInvalidCharacter,  // control characters or < > " | ? *
  kHiddenCharacter,   // characters that show nothing or reorder text (IsInvisibleCodePoint)
  kDeviceName,        // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, any case or extension
  kTrailingDotOrSpace,  // Windows would silently strip them and write a different name
  kTooLong,             // a component longer than 255 UTF-16 units
  kTooDeep,             // more than kMaxPathDepth components
  kShortNameAlias,      // resolves to an existing file or folder of another name (8.3 form)
};

// Components a name may have: far beyond any real tree, and what Windows' 32,767-character
// paths could hold anyway, so that no walk over a path's folders grows with the archive.
inline constexpr std::size_t kMaxPathDepth = 1024;

struct SafePath {
  PathRefusal refusal = PathRefusal::kNone;
  std::vector<std::string> components;  // UTF-8, non-empty, none of them "." or ".."
  bool directory = false;               // the name ended with a separator

  bool Ok() const { return refusal == PathRefusal::kNone; }
  // The components joined with '/': the form every path across the core's interface takes.
  std::string Joined() const;
};

// `name` is UTF-8 as decoded from the archive; both '/' and '\' separate components.
SafePath CheckEntryPath(std::string_view name);

// Short English description of a refusal, for logs, tests and console output.
const char* Describe(PathRefusal refusal);

}  // namespace kzsfx
