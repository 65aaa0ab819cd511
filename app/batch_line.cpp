// The batch line: three quoted operands of copy /b, read by the command interpreter as written.
#include "app/batch_line.h"

#include <optional>
#include <string_view>

namespace quillet {
namespace {

// Inside double quotes a batch line still expands %...%, so every % is doubled; & ^ ( ) and
// spaces are literal there, and no operand can hold the quotation mark itself.
Text EscapePercents(TextView path) { return ReplaceText(path, "%", "%%", 1, std::nullopt, true); }

}  // namespace

bool HasUnrepresentableName(TextView path) {
  const std::string_view bytes = path.view();
  const LeadBytes& leadBytes = CurrentLeadBytes();
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const auto byte = static_cast<unsigned char>(bytes[at]);
    if (byte < 0x20 || byte == '?' || byte == '*' || byte == '"') return true;
    // A lead byte takes the next byte with it: a missing or ASCII second byte (no code page
    // has one below 0x40) would make the interpreter read a quotation mark or % differently.
    if (leadBytes[byte] && (++at == bytes.size() || static_cast<unsigned char>(bytes[at]) < 0x40)) {
      return true;
    }
  }
  return false;
}

Text BatchLine(TextView tempFolder, TextView archive, TextView output) {
  if (HasUnrepresentableName(tempFolder) || HasUnrepresentableName(archive) ||
      HasUnrepresentableName(output)) {
    return {};
  }
  return ConcatText({"copy /b \"", EscapePercents(tempFolder), "kzsfx.tmp~1\"+\"",
                     EscapePercents(archive), "\" \"", EscapePercents(output), "\""});
}

}  // namespace quillet
