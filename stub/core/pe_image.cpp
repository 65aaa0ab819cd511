// Reads just enough of the PE headers to know where the file's own bytes stop.
#include "stub/core/pe_image.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "stub/core/little_endian.h"

namespace kzsfx {

namespace {

constexpr std::size_t coff_header_size = 20;
constexpr std::size_t section_header_size = 40;
constexpr std::size_t coff_symbol_size = 18;
constexpr std::uint32_t security_directory = 4;

}  // namespace

ImageEnd find_image_end(ByteSource& exe) {
  ImageEnd result;
  const std::uint64_t file_size = exe.size();
  auto fail = [&](const char* why) {
    result.error = why;
    return result;
  };
  // Anything claimed to end past the file means the exe itself was cut short.
  auto within = [&](std::uint64_t offset, std::uint64_t length) {
    return offset <= file_size && length <= file_size - offset;
  };

  std::array<unsigned char, 64> dos{};
  if (!within(0, dos.size()) || !read_exact(exe, 0, dos.data(), dos.size()))
    return fail("file too small for a DOS header");
  if (dos[0] != 'M' || dos[1] != 'Z') return fail("no MZ signature");
  const std::uint64_t pe_offset = le32(&dos[0x3C]);

  std::array<unsigned char, 4 + coff_header_size> pe{};
  if (!within(pe_offset, pe.size()) || !read_exact(exe, pe_offset, pe.data(), pe.size()))
    return fail("PE header outside the file");
  if (std::memcmp(pe.data(), "PE\0\0", 4) != 0) return fail("no PE signature");
  const unsigned char* coff = pe.data() + 4;
  const std::uint32_t section_count = le16(coff + 2);
  const std::uint64_t symbol_table = le32(coff + 8);
  const std::uint64_t symbol_count = le32(coff + 12);
  const std::uint32_t optional_size = le16(coff + 16);
  if (section_count == 0) return fail("no sections");

  const std::uint64_t optional_offset = pe_offset + pe.size();
  std::array<unsigned char, 240> optional{};  // room for the PE32+ header and all 16 directories
  const std::size_t optional_read = std::min<std::size_t>(optional_size, optional.size());
  if (optional_size < 64 || !within(optional_offset, optional_size) ||
      !read_exact(exe, optional_offset, optional.data(), optional_read))
    return fail("optional header missing or outside the file");
  const std::uint16_t magic = le16(optional.data());
  if (magic != 0x10B && magic != 0x20B) return fail("unknown optional header magic");
  const std::uint64_t headers_size = le32(&optional[60]);
  std::uint64_t end = headers_size;

  const std::size_t directory_count_at = magic == 0x10B ? 92 : 108;
  if (directory_count_at + 4 <= optional_read) {
    const std::uint32_t directory_count = le32(&optional[directory_count_at]);
    const std::size_t security_at = directory_count_at + 4 + security_directory * 8;
    if (directory_count > security_directory && security_at + 8 <= optional_read) {
      // The certificate table's "address" is a file offset, appended after the sections.
      const std::uint64_t cert_offset = le32(&optional[security_at]);
      const std::uint64_t cert_size = le32(&optional[security_at + 4]);
      if (cert_size != 0) {
        if (!within(cert_offset, cert_size)) return fail("certificate table outside the file");
        end = std::max(end, cert_offset + cert_size);
      }
    }
  }

  const std::uint64_t table_offset = optional_offset + optional_size;
  const std::uint64_t table_size = std::uint64_t{section_count} * section_header_size;
  if (!within(table_offset, table_size)) return fail("section table outside the file");
  end = std::max(end, table_offset + table_size);
  for (std::uint32_t i = 0; i < section_count; ++i) {
    std::array<unsigned char, section_header_size> section{};
    if (!read_exact(exe, table_offset + std::uint64_t{i} * section_header_size, section.data(),
                    section.size()))
      return fail("section table unreadable");
    const std::uint64_t raw_size = le32(&section[16]);
    const std::uint64_t raw_offset = le32(&section[20]);
    if (raw_size == 0) continue;
    if (!within(raw_offset, raw_size)) return fail("section data outside the file");
    end = std::max(end, raw_offset + raw_size);
  }

  // An unstripped image carries COFF symbols and their string table after the sections.
  if (symbol_table != 0 && symbol_count != 0) {
    const std::uint64_t symbols_size = symbol_count * coff_symbol_size;
    if (!within(symbol_table, symbols_size + 4)) return fail("symbol table outside the file");
    std::array<unsigned char, 4> strings{};
    if (!read_exact(exe, symbol_table + symbols_size, strings.data(), strings.size()))
      return fail("string table unreadable");
    const std::uint64_t strings_size = std::max<std::uint32_t>(le32(strings.data()), 4);
    if (!within(symbol_table + symbols_size, strings_size))
      return fail("string table outside the file");
    end = std::max(end, symbol_table + symbols_size + strings_size);
  }

  if (end > file_size) return fail("headers larger than the file");
  result.ok = true;
  result.offset = end;
  return result;
}

}  // namespace kzsfx
