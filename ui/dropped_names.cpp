// Converting dropped paths to the ANSI code page and joining them as the drop delivers them.
#include "ui/dropped_names.h"

namespace quillet {
namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::string PathToAnsi(std::u16string_view path, const CharacterEncoder& encode) {
  std::string ansi;
  for (std::size_t at = 0; at < path.size();) {
    const bool pair =
        IsHighSurrogate(path[at]) && at + 1 < path.size() && IsLowSurrogate(path[at + 1]);
    const std::size_t units = pair ? 2 : 1;
    const bool lone = !pair && (IsHighSurrogate(path[at]) || IsLowSurrogate(path[at]));
    const std::optional<std::string> bytes = lone ? std::nullopt : encode(path.substr(at, units));
    const bool exact = bytes && !bytes->empty() && bytes->find('\0') == std::string::npos;
    ansi += exact ? *bytes : "?";
    at += units;
  }
  return ansi;
}

std::string JoinDroppedPaths(const std::vector<std::string>& paths) {
  if (paths.size() == 1) return paths.front();
  std::string joined;
  for (const std::string& path : paths) {
    joined += path;
    joined += "\r\n";
  }
  return joined;
}

}  // namespace quillet
