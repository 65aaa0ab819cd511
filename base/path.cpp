// Splitting a full Windows path into its folder and its file name.
#include "base/path.h"

#include <optional>
#include <string_view>

namespace quillet {

PathParts SplitPath(TextView path) {
  const Text full(path);
  const std::int32_t slash = FindLastText(full, "\\", std::nullopt, false);
  if (slash < 0) return {Text(), full};
  return {LeftText(full, slash - 1), MidText(full, slash + 1, full.size())};
}

Text EnterableFolder(TextView folder) {
  const std::string_view bytes = folder.view();
  if (!bytes.empty() && bytes.back() == ':') return ConcatText({folder, "\\"});
  return Text(folder);
}

}  // namespace quillet
