// Lays out the fatal report's text in a fixed block.
#include "base/fatal_text.h"

#include <charconv>
#include <string_view>

#include "base/user_texts.h"

namespace quillet {
namespace {

class FixedWriter {
 public:
  explicit FixedWriter(FatalText& text) : text_(text) {}

  void Append(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
      // A double-byte character goes in whole or not at all.
      const std::size_t width =
          (static_cast<unsigned char>(bytes[i]) & 0x80) && i + 1 < bytes.size() ? 2 : 1;
      if (used_ + width > text_.bytes.size() - 1) {
        full_ = true;
        return;
      }
      for (std::size_t k = 0; k < width; ++k) text_.bytes[used_++] = bytes[i + k];
      i += width;
    }
  }

  void AppendNumber(std::int32_t value) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    Append({digits, static_cast<std::size_t>(end - digits)});
  }

  bool full() const { return full_; }

 private:
  FatalText& text_;
  std::size_t used_ = 0;
  bool full_ = false;
};

}  // namespace

FatalText FatalErrorText(TextView message, std::int32_t code) {
  FatalText text;
  FixedWriter out(text);
  out.Append(kFatalHeading);
  if (code != 0) {
    out.Append(kFatalCodeLabel);
    out.AppendNumber(code);
    out.Append("\r\n\r\n");
  }
  if (!message.empty()) {
    out.Append(kFatalMessageLabel);
    out.Append(message.view());
    out.Append("\r\n");
  }
  return text;
}

}  // namespace quillet
