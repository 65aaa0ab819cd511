// Fuzzes the split of a dropped path against a plain reference model on std::string: the same
// folder, file name, extension and base name, and the same decision, for every dropped text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/globals.h"
#include "app/path_analysis.h"
#include "fuzz/fuzz_input.h"

namespace {

unsigned char Fold(char byte) {
  const auto b = static_cast<unsigned char>(byte);
  return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 0x20) : b;
}

// Offsets where a character begins: a high-bit lead byte takes its trail with it.
std::vector<std::size_t> CharacterStarts(std::string_view text) {
  std::vector<std::size_t> starts;
  for (std::size_t p = 0; p < text.size();
       p += (static_cast<unsigned char>(text[p]) & 0x80) && p + 1 < text.size() ? 2 : 1)
    starts.push_back(p);
  return starts;
}

// The last character start holding `c`, or npos.
std::size_t LastCharacter(std::string_view text, char c) {
  std::size_t found = std::string_view::npos;
  for (std::size_t p : CharacterStarts(text))
    if (text[p] == c) found = p;
  return found;
}

// Every occurrence of `sought` at a character start removed, ASCII letters folded.
std::string WithoutFolded(std::string_view text, std::string_view sought) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    bool match = at + sought.size() <= text.size();
    for (std::size_t i = 0; match && i < sought.size(); ++i)
      match = Fold(text[at + i]) == Fold(sought[i]);
    if (match) {
      at += sought.size();
      continue;
    }
    const std::size_t width =
        (static_cast<unsigned char>(text[at]) & 0x80) && at + 1 < text.size() ? 2 : 1;
    out += text.substr(at, width);
    at += width;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string dropped(reinterpret_cast<const char*>(data), size);
  dropped.resize(dropped.find('\0') == std::string::npos ? size : dropped.find('\0'));

  const bool accepted = quillet::AnalyseDroppedPath(dropped.c_str());

  const std::size_t slash = LastCharacter(dropped, '\\');
  const std::string file = slash == std::string::npos ? "" : dropped.substr(slash + 1);
  const std::string folder = slash == std::string::npos ? "" : dropped.substr(0, slash + 1);
  const std::size_t dot = LastCharacter(file, '.');
  const std::string extension = dot == std::string::npos ? "" : file.substr(dot + 1);

  CHECK(quillet::DroppedPath.view() == dropped);
  CHECK(quillet::SlashPos ==
        (slash == std::string::npos ? -1 : static_cast<std::int32_t>(slash + 1)));
  CHECK(quillet::FileName.view() == file);
  CHECK(quillet::FolderPart.view() == folder);
  CHECK(quillet::DotPos == (dot == std::string::npos ? -1 : static_cast<std::int32_t>(dot + 1)));
  CHECK(quillet::Extension.view() == extension);
  CHECK(quillet::BaseName.view() == WithoutFolded(file, "." + extension));
  CHECK(accepted == (extension == "kz" || extension == "zip"));
  return 0;
}
