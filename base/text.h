// The program's byte strings: an owning text type, a byte buffer and the text operations.
// Texts are bytes in the ANSI code page (GBK), NUL-terminated, never holding a NUL; an absent
// text and the empty text are the same value. Positions are 1-based, -1 means "not found".
#pragma once

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>

#include "base/text_view.h"

namespace quillet {

// Owns a NUL-terminated block from AllocateMemory; holds no block at all when empty.
class Text {
 public:
  Text() = default;
  explicit Text(TextView text);
  explicit Text(const char* text) : Text(TextView(text)) {}  // a literal: neither view wins alone
  explicit Text(std::string_view bytes);                     // stops at the first NUL, if any
  Text(const Text& other);
  Text& operator=(const Text& other);
  Text(Text&& other) noexcept;
  Text& operator=(Text&& other) noexcept;
  ~Text();

  // Takes a NUL-terminated block that came from AllocateMemory (an empty block is released).
  static Text Adopt(char* block);

  const char* c_str() const { return block_ ? block_ : ""; }
  bool empty() const { return !block_; }
  std::int32_t size() const;
  std::string_view view() const { return c_str(); }
  void Reset();

  friend bool operator==(const Text& a, TextView b) { return a.view() == b.view(); }

 private:
  char* block_ = nullptr;
};

inline TextView::TextView(const Text& text) : text_(text.c_str()) {}

using ByteView = std::span<const std::uint8_t>;

// Owns a counted byte block from AllocateMemory; the empty buffer holds no block.
class ByteBuffer {
 public:
  ByteBuffer() = default;
  explicit ByteBuffer(ByteView bytes);
  ByteBuffer(const ByteBuffer& other);
  ByteBuffer& operator=(const ByteBuffer& other);
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ~ByteBuffer();

  const std::uint8_t* data() const { return block_; }
  std::uint32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  ByteView view() const { return {block_, size_}; }
  operator ByteView() const { return view(); }  // NOLINT
  void Reset();

 private:
  std::uint8_t* block_ = nullptr;
  std::uint32_t size_ = 0;
};

// The bytes that begin a two-byte character in the ANSI code page. Until the program says which
// code page it runs under, every byte with its high bit set does, as in GBK; under a
// single-byte code page none does, and each byte is a character of its own.
using LeadBytes = std::bitset<256>;
LeadBytes HighBitLeadBytes();
void UseLeadBytes(const LeadBytes& leadBytes);
const LeadBytes& CurrentLeadBytes();

std::int32_t TextLength(TextView text);
Text LeftText(TextView text, std::int32_t count);
Text MidText(TextView text, std::int32_t start, std::int32_t count);
// ignoreCase true: ASCII letters fold (trail bytes too); false: exact.
std::int32_t FindLastText(TextView text, TextView sought, std::optional<std::int32_t> start,
                          bool ignoreCase);
// matchCase true: exact; false: ASCII letters fold. Note the flag's sense is the opposite
// of FindLastText's. A negative or absent limit means no limit.
Text ReplaceText(TextView text, TextView sought, TextView replacement,
                 std::optional<std::int32_t> start, std::optional<std::int32_t> limit,
                 bool matchCase);
Text ConcatText(std::initializer_list<TextView> pieces);
std::int32_t CompareText(TextView a, TextView b);
ByteBuffer TextToBytes(TextView text);
std::int64_t TruncateToInteger(double value);

}  // namespace quillet
