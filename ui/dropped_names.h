// Dropped paths turned into the ANSI code page exactly, character by character.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One character (one UTF-16 unit, or a surrogate pair) as the code page's bytes, or nothing
// when the code page has no exact equivalent.
using CharacterEncoder = std::function<std::optional<std::string>(std::u16string_view)>;

// The path in the ANSI code page. A character without an exact equivalent, a lone surrogate
// among them, becomes "?", which no file name holds, so the converter refuses the name rather
// than work on a different one.
std::string PathToAnsi(std::u16string_view path, const CharacterEncoder& encode);

// The text a drop delivers: a single path as it is, several each followed by CR LF.
std::string JoinDroppedPaths(const std::vector<std::string>& paths);

}  // namespace quillet
