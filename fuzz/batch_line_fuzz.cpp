// Fuzzes the batch line against a small model of how the command interpreter reads a line of a
// batch file: whatever the three paths hold, either they are refused or the interpreter sees
// exactly one command, copy /b, with the intended operands, each quoted, and nothing else.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_line.h"
#include "fuzz/fuzz_input.h"

namespace {

using quillet::fuzz::TakePiece;

using namespace quillet;

// The interpreter decodes the line before it reads it: a lead byte and the byte after it are
// one character, never a quotation mark or a %, whatever that byte is.
std::size_t CharacterWidth(std::string_view line, std::size_t at, const LeadBytes& leadBytes) {
  return leadBytes[static_cast<unsigned char>(line[at])] && at + 1 < line.size() ? 2 : 1;
}

// A batch file's percent phase: %% is one %; any other % names a variable or an argument, or
// is dropped, and so changes the line: reported as nothing. A line break ends the command.
std::optional<std::string> ExpandPercents(std::string_view line, const LeadBytes& leadBytes) {
  std::string out;
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t width = CharacterWidth(line, at, leadBytes);
    if (width == 1 && (line[at] == '\r' || line[at] == '\n')) return std::nullopt;
    if (width == 1 && line[at] == '%') {
      if (at + 1 >= line.size() || line[at + 1] != '%') return std::nullopt;
      out += '%';
      at += 2;
      continue;
    }
    out += line.substr(at, width);
    at += width;
  }
  return out;
}

// The words of the command after the percent phase (with delayed expansion off, so "!" is an
// ordinary character). Outside quotation marks the operators & | < > ( ) and the escape ^
// would start another command, redirect or change the text: reported as nothing. An
// unterminated quotation mark too.
std::optional<std::vector<std::string>> Words(std::string_view line, const LeadBytes& leadBytes) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t width = CharacterWidth(line, at, leadBytes);
    const char c = line[at];
    if (width == 2 || quoted) {
      if (width == 1 && c == '"') quoted = false;
      word += line.substr(at, width);
    } else if (c == '"') {
      quoted = true;
      word += c;
    } else if (std::string_view("&|<>()^").find(c) != std::string_view::npos) {
      return std::nullopt;
    } else if (std::string_view(" \t,;=").find(c) != std::string_view::npos) {
      if (!word.empty()) words.push_back(std::move(word));
      word.clear();
    } else {
      word += c;
    }
    at += width;
  }
  if (quoted) return std::nullopt;
  if (!word.empty()) words.push_back(std::move(word));
  return words;
}

// The lead bytes the line is read with: none (code page 1252), GBK's (0x81 to 0xFE), or every
// high-bit byte.
LeadBytes LeadBytesFor(std::uint8_t choice) {
  LeadBytes leadBytes;
  if (choice % 3 == 1) {
    for (std::size_t b = 0x81; b <= 0xFE; ++b) leadBytes.set(b);
  } else if (choice % 3 == 2) {
    leadBytes = HighBitLeadBytes();
  }
  return leadBytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.empty()) return 0;
  const LeadBytes leadBytes = LeadBytesFor(static_cast<std::uint8_t>(input[0]));
  input.remove_prefix(1);
  UseLeadBytes(leadBytes);
  const std::string tempFolder(TakePiece(input));
  const std::string archive(TakePiece(input));
  const std::string output(TakePiece(input));

  const Text line = BatchLine(tempFolder.c_str(), archive.c_str(), output.c_str());
  const bool refused = HasUnrepresentableName(tempFolder.c_str()) ||
                       HasUnrepresentableName(archive.c_str()) ||
                       HasUnrepresentableName(output.c_str());
  CHECK(line.empty() == refused);
  if (refused) return 0;

  const std::optional<std::string> expanded = ExpandPercents(line.view(), leadBytes);
  CHECK(expanded);
  const std::optional<std::vector<std::string>> words = Words(*expanded, leadBytes);
  CHECK(words);
  const std::vector<std::string> expected = {
      "copy", "/b", "\"" + tempFolder + "kzsfx.tmp~1\"+\"" + archive + "\"", "\"" + output + "\""};
  CHECK(*words == expected);
  return 0;
}
