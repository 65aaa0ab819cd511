// Splits the dropped text into the converter's globals and accepts only .kz and .zip files.
#include "app/path_analysis.h"

#include <cstdint>
#include <optional>

#include "app/globals.h"

namespace quillet {
namespace {

// Positions are worked out in double precision; a 32-bit argument takes the low 32 bits.
std::int32_t ToPosition(double value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(TruncateToInteger(value)));
}

// The bytes of whole after 1-based position pos; pos -1 gives start 0, so the absent text.
Text TextAfter(const Text& whole, std::int32_t pos) {
  return MidText(whole, ToPosition(pos + 1.0),
                 ToPosition(static_cast<double>(TextLength(whole)) - pos));
}

}  // namespace

bool AnalyseDroppedPath(TextView dropped) {
  DroppedPath = Text(dropped);
  SlashPos = FindLastText(DroppedPath, "\\", std::nullopt, false);
  FileName = TextAfter(DroppedPath, SlashPos);
  DotPos = FindLastText(FileName, ".", std::nullopt, false);
  Extension = TextAfter(FileName, DotPos);
  FolderPart = LeftText(DroppedPath, SlashPos);
  {
    const Text dotExtension = ConcatText({".", Extension});
    BaseName = ReplaceText(FileName, dotExtension, {}, 1, std::nullopt, false);
  }
  // Exact case: "KZ" or "Zip" are refused.
  return CompareText(Extension, "kz") == 0 || CompareText(Extension, "zip") == 0;
}

}  // namespace quillet
