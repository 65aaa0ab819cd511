// Reads just enough of the PE headers to know where the file's own bytes stop.
#include "stub/core/pe_image.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "stub/core/little_endian.h"

namespace kzsfx {

namespace {

constexpr std::size_t kCoffHeaderSize = 20;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kCoffSymbolSize = 18;
constexpr std::uint32_t kSecurityDirectory = 4;

}  // namespace

ImageEnd FindImageEnd(ByteSource& exe) {
  ImageEnd result;
  const std::uint64_t fileSize = exe.size();
  auto fail = [&](const char* why) {
    result.error = why;
    return result;
  };
  // Anything claimed to end past the file means the exe itself was cut short.
  auto within = [&](std::uint64_t offset, std::uint64_t length) {
    return offset <= fileSize && length <= fileSize - offset;
  };

  std::array<unsigned char, 64> dos{};
  if (!within(0, dos.size()) || !ReadExact(exe, 0, dos.data(), dos.size()))
    return fail("file too small for a DOS header");
  if (dos[0] != 'M' || dos[1] != 'Z') return fail("no MZ signature");
  const std::uint64_t peOffset = Le32(&dos[0x3C]);

  std::array<unsigned char, 4 + kCoffHeaderSize> pe{};
  if (!within(peOffset, pe.size()) || !ReadExact(exe, peOffset, pe.data(), pe.size()))
    return fail("PE header outside the file");
  if (std::memcmp(pe.data(), "PE\0\0", 4) != 0) return fail("no PE signature");
  const unsigned char* coff = pe.data() + 4;
  const std::uint32_t sectionCount = Le16(coff + 2);
  const std::uint64_t symbolTable = Le32(coff + 8);
  const std::uint64_t symbolCount = Le32(coff + 12);
  const std::uint32_t optionalSize = Le16(coff + 16);
  if (sectionCount == 0) return fail("no sections");

  const std::uint64_t optionalOffset = peOffset + pe.size();
  std::array<unsigned char, 240> optional{};  // room for the PE32+ header and all 16 directories
  const std::size_t optionalRead = std::min<std::size_t>(optionalSize, optional.size());
  if (optionalSize < 64 || !within(optionalOffset, optionalSize) ||
      !ReadExact(exe, optionalOffset, optional.data(), optionalRead))
    return fail("optional header missing or outside the file");
  const std::uint16_t magic = Le16(optional.data());
  if (magic != 0x10B && magic != 0x20B) return fail("unknown optional header magic");
  const std::uint64_t headersSize = Le32(&optional[60]);
  std::uint64_t end = headersSize;

  const std::size_t directoryCountAt = magic == 0x10B ? 92 : 108;
  if (directoryCountAt + 4 <= optionalRead) {
    const std::uint32_t directoryCount = Le32(&optional[directoryCountAt]);
    const std::size_t securityAt = directoryCountAt + 4 + kSecurityDirectory * 8;
    if (directoryCount > kSecurityDirectory && securityAt + 8 <= optionalRead) {
      // The certificate table's "address" is a file offset, appended after the sections.
      const std::uint64_t certOffset = Le32(&optional[securityAt]);
      const std::uint64_t certSize = Le32(&optional[securityAt + 4]);
      if (certSize != 0) {
        if (!within(certOffset, certSize)) return fail("certificate table outside the file");
        end = std::max(end, certOffset + certSize);
      }
    }
  }

  const std::uint64_t tableOffset = optionalOffset + optionalSize;
  const std::uint64_t tableSize = std::uint64_t{sectionCount} * kSectionHeaderSize;
  if (!within(tableOffset, tableSize)) return fail("section table outside the file");
  end = std::max(end, tableOffset + tableSize);
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    std::array<unsigned char, kSectionHeaderSize> section{};
    if (!ReadExact(exe, tableOffset + std::uint64_t{i} * kSectionHeaderSize, section.data(),
                   section.size()))
      return fail("section table unreadable");
    const std::uint64_t rawSize = Le32(&section[16]);
    const std::uint64_t rawOffset = Le32(&section[20]);
    if (rawSize == 0) continue;
    if (!within(rawOffset, rawSize)) return fail("section data outside the file");
    end = std::max(end, rawOffset + rawSize);
  }

  // An unstripped image carries COFF symbols and their string table after the sections.
  if (symbolTable != 0 && symbolCount != 0) {
    const std::uint64_t symbolsSize = symbolCount * kCoffSymbolSize;
    if (!within(symbolTable, symbolsSize + 4)) return fail("symbol table outside the file");
    std::array<unsigned char, 4> strings{};
    if (!ReadExact(exe, symbolTable + symbolsSize, strings.data(), strings.size()))
      return fail("string table unreadable");
    const std::uint64_t stringsSize = std::max<std::uint32_t>(Le32(strings.data()), 4);
    if (!within(symbolTable + symbolsSize, stringsSize))
      return fail("string table outside the file");
    end = std::max(end, symbolTable + symbolsSize + stringsSize);
  }

  if (end > fileSize) return fail("headers larger than the file");
  result.ok = true;
  result.offset = end;
  return result;
}

}  // namespace kzsfx
