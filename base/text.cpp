// The text and byte-buffer types and the text operations, all on bytes of the ANSI code page.
#include "base/text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "base/memory.h"

namespace quillet {
namespace {

using Byte = unsigned char;

std::int32_t LengthOf(const char* bytes) { return static_cast<std::int32_t>(std::strlen(bytes)); }

// A new text of the given bytes; no bytes give the absent text.
Text MakeText(const char* bytes, std::size_t count) {
  if (count == 0) return {};
  auto* block = static_cast<char*>(AllocateMemory(count + 1));
  std::memcpy(block, bytes, count);
  block[count] = '\0';
  return Text::Adopt(block);
}

char* CopyBlock(const char* block) {
  if (!block) return nullptr;
  const std::size_t count = std::strlen(block);
  auto* copy = static_cast<char*>(AllocateMemory(count + 1));
  std::memcpy(copy, block, count + 1);
  return copy;
}

// Set once at start-up, before any text is searched; read-only afterwards.
LeadBytes& LeadByteTable() {
  static LeadBytes table = HighBitLeadBytes();
  return table;
}

bool IsLeadByte(char byte) { return LeadByteTable()[static_cast<Byte>(byte)]; }

// Only A-Z fold, and no locale is consulted: a trail byte in that range folds too.
Byte FoldCase(char byte) {
  const auto b = static_cast<Byte>(byte);
  return b >= 0x41 && b <= 0x5A ? static_cast<Byte>(b + 0x20) : b;
}

bool SameBytes(const char* at, const char* sought, std::size_t count, bool ignoreCase) {
  if (!ignoreCase) return std::memcmp(at, sought, count) == 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (FoldCase(at[i]) != FoldCase(sought[i])) return false;
  }
  return true;
}

// The bytes from offset to the next character start, never past the end.
std::size_t CharacterWidth(const char* bytes, std::size_t offset, std::size_t length) {
  return IsLeadByte(bytes[offset]) && offset + 1 < length ? 2 : 1;
}

// The working buffer of ReplaceText: one block that grows, handed over as the result.
class GrowingText {
 public:
  explicit GrowingText(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 16)) {
    block_ = static_cast<char*>(AllocateMemory(capacity_ + 1));
  }
  GrowingText(const GrowingText&) = delete;
  GrowingText& operator=(const GrowingText&) = delete;
  ~GrowingText() { FreeMemory(block_); }

  void Append(const char* bytes, std::size_t count) {
    if (count == 0) return;
    if (count > capacity_ - used_) {
      capacity_ = std::max(capacity_ * 2, used_ + count);
      block_ = static_cast<char*>(ResizeMemory(block_, capacity_ + 1));
    }
    std::memcpy(block_ + used_, bytes, count);
    used_ += count;
  }

  Text Finish() {
    if (used_ == 0) return {};
    block_[used_] = '\0';
    return Text::Adopt(std::exchange(block_, nullptr));
  }

 private:
  char* block_ = nullptr;
  std::size_t capacity_ = 0;
  std::size_t used_ = 0;
};

}  // namespace

LeadBytes HighBitLeadBytes() {
  LeadBytes leadBytes;
  for (std::size_t byte = 0x80; byte < 0x100; ++byte) leadBytes.set(byte);
  return leadBytes;
}

void UseLeadBytes(const LeadBytes& leadBytes) { LeadByteTable() = leadBytes; }

const LeadBytes& CurrentLeadBytes() { return LeadByteTable(); }

Text::Text(TextView text) : block_(text.empty() ? nullptr : CopyBlock(text.c_str())) {}

Text::Text(std::string_view bytes)
    : Text(MakeText(bytes.data(), std::min(bytes.find('\0'), bytes.size()))) {}

Text::Text(const Text& other) : block_(CopyBlock(other.block_)) {}

Text& Text::operator=(const Text& other) {
  if (this != &other) {
    char* copy = CopyBlock(other.block_);
    FreeMemory(block_);
    block_ = copy;
  }
  return *this;
}

Text::Text(Text&& other) noexcept : block_(std::exchange(other.block_, nullptr)) {}

Text& Text::operator=(Text&& other) noexcept {
  if (this != &other) {
    FreeMemory(block_);
    block_ = std::exchange(other.block_, nullptr);
  }
  return *this;
}

Text::~Text() { FreeMemory(block_); }

Text Text::Adopt(char* block) {
  Text text;
  if (block && *block) {
    text.block_ = block;
  } else {
    FreeMemory(block);
  }
  return text;
}

std::int32_t Text::size() const { return block_ ? LengthOf(block_) : 0; }

void Text::Reset() { FreeMemory(std::exchange(block_, nullptr)); }

ByteBuffer::ByteBuffer(ByteView bytes) {
  if (bytes.empty()) return;
  block_ = static_cast<std::uint8_t*>(AllocateMemory(bytes.size()));
  std::memcpy(block_, bytes.data(), bytes.size());
  size_ = static_cast<std::uint32_t>(bytes.size());
}

ByteBuffer::ByteBuffer(const ByteBuffer& other) : ByteBuffer(other.view()) {}

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other) {
  if (this != &other) *this = ByteBuffer(other.view());
  return *this;
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)), size_(std::exchange(other.size_, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    FreeMemory(block_);
    block_ = std::exchange(other.block_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

ByteBuffer::~ByteBuffer() { FreeMemory(block_); }

void ByteBuffer::Reset() {
  FreeMemory(std::exchange(block_, nullptr));
  size_ = 0;
}

std::int32_t TextLength(TextView text) { return text.size(); }

Text LeftText(TextView text, std::int32_t count) {
  if (count <= 0) return {};
  const std::int32_t length = text.size();
  return MakeText(text.c_str(), static_cast<std::size_t>(std::min(count, length)));
}

Text MidText(TextView text, std::int32_t start, std::int32_t count) {
  const std::int64_t length = text.size();
  const std::int64_t offset = std::int64_t{start} - 1;
  if (offset < 0 || offset >= length || count <= 0) return {};
  const std::int64_t taken = std::min<std::int64_t>(count, length - offset);
  return MakeText(text.c_str() + offset, static_cast<std::size_t>(taken));
}

std::int32_t FindLastText(TextView text, TextView sought, std::optional<std::int32_t> start,
                          bool ignoreCase) {
  const char* bytes = text.c_str();
  const std::size_t length = static_cast<std::size_t>(text.size());
  const std::size_t soughtLength = static_cast<std::size_t>(sought.size());

  // Only occurrences lying wholly within the first `region` bytes count.
  std::size_t region = length;
  if (start) {
    const std::int64_t limit = std::int64_t{*start} - 1;
    region = limit < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(limit), length);
  }
  if (soughtLength == 0) return region > 0 ? 1 : -1;

  // Forward over character starts, keeping the latest match: overlapping occurrences count.
  std::int32_t last = -1;
  for (std::size_t p = 0; p + soughtLength <= region; p += CharacterWidth(bytes, p, length)) {
    if (SameBytes(bytes + p, sought.c_str(), soughtLength, ignoreCase)) {
      last = static_cast<std::int32_t>(p + 1);
    }
  }
  return last;
}

Text ReplaceText(TextView text, TextView sought, TextView replacement,
                 std::optional<std::int32_t> start, std::optional<std::int32_t> limit,
                 bool matchCase) {
  const char* bytes = text.c_str();
  const std::size_t length = static_cast<std::size_t>(text.size());
  const std::size_t soughtLength = static_cast<std::size_t>(sought.size());
  const std::size_t skipped =
      start && *start > 1 ? static_cast<std::size_t>(std::int64_t{*start} - 1) : 0;
  // A negative limit means none, like an absent one.
  std::int64_t remaining = limit && *limit >= 0 ? *limit : -1;

  if (length == 0 || soughtLength == 0 || skipped >= length || remaining == 0) {
    return MakeText(bytes, length);
  }

  const char* with = replacement.c_str();
  const std::size_t withLength = static_cast<std::size_t>(replacement.size());
  GrowingText out(length);
  out.Append(bytes, skipped);
  std::size_t p = skipped;
  while (length - p >= soughtLength) {
    if (SameBytes(bytes + p, sought.c_str(), soughtLength, !matchCase)) {
      out.Append(with, withLength);
      p += soughtLength;
      if (remaining > 0 && --remaining == 0) break;
    } else {
      const std::size_t width = CharacterWidth(bytes, p, length);
      out.Append(bytes + p, width);
      p += width;
    }
  }
  out.Append(bytes + p, length - p);
  return out.Finish();
}

Text ConcatText(std::initializer_list<TextView> pieces) {
  std::size_t total = 0;
  for (TextView piece : pieces) total += static_cast<std::size_t>(piece.size());
  // Absent and empty are one value: an empty join needs no block.
  if (total == 0) return {};
  // One block for the whole result, measured first.
  auto* block = static_cast<char*>(AllocateMemory(total + 1));
  char* out = block;
  for (TextView piece : pieces) {
    const std::size_t count = static_cast<std::size_t>(piece.size());
    std::memcpy(out, piece.c_str(), count);
    out += count;
  }
  *out = '\0';
  return Text::Adopt(block);
}

std::int32_t CompareText(TextView a, TextView b) {
  if (a.empty()) return b.empty() ? 0 : -1;
  if (b.empty()) return 1;
  const auto* x = reinterpret_cast<const Byte*>(a.c_str());
  const auto* y = reinterpret_cast<const Byte*>(b.c_str());
  for (;; ++x, ++y) {
    if (*x != *y) return *x < *y ? -1 : 1;
    if (*x == 0) return 0;
  }
}

ByteBuffer TextToBytes(TextView text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.c_str());
  return ByteBuffer(ByteView(bytes, static_cast<std::size_t>(text.size())));
}

std::int64_t TruncateToInteger(double value) {
  // Saturate instead of leaving out-of-range conversions undefined; NaN has no integer part.
  constexpr double kBound = 9223372036854775808.0;  // 2^63
  if (std::isnan(value)) return 0;
  if (value >= kBound) return std::numeric_limits<std::int64_t>::max();
  if (value < -kBound) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::trunc(value));
}

}  // namespace quillet
