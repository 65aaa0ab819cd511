// A borrowed, NUL-terminated text, apart from the owning Text: it needs no allocator, so the
// fatal report, which the allocator itself calls, can take one.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillet {

class Text;

// A borrowed, NUL-terminated text (a literal, or a Text's block); null reads as empty.
class TextView {
 public:
  constexpr TextView() = default;
  constexpr TextView(const char* text) : text_(text) {}  // NOLINT: literals convert implicitly
  TextView(const Text& text);                            // NOLINT

  const char* c_str() const { return text_ ? text_ : ""; }
  bool empty() const { return !text_ || !*text_; }
  std::int32_t size() const { return static_cast<std::int32_t>(std::strlen(c_str())); }
  std::string_view view() const { return c_str(); }

 private:
  const char* text_ = nullptr;
};

}  // namespace quillet
