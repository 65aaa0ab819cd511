// The static MinGW libarchive as scripts/build-deps configures it: every compression library
// linked in (no external programs), and WinZip AES through the Windows CNG provider.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Files = std::map<std::string, Bytes>;

struct ReadCloser {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteCloser {
  void operator()(archive* a) const { archive_write_free(a); }
};
using Reader = std::unique_ptr<archive, ReadCloser>;
using Writer = std::unique_ptr<archive, WriteCloser>;

Files SampleFiles() {
  Bytes text;
  for (int line = 0; text.size() < 60000; ++line) {
    const std::string row = "line " + std::to_string(line) + ": the quick brown fox\r\n";
    text.insert(text.end(), row.begin(), row.end());
  }
  Bytes noise(70000);
  std::uint32_t seed = 0x2468ace1;
  for (auto& byte : noise) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(seed >> 24);
  }
  return {{"docs/readme.txt", text}, {"data/noise.bin", noise}, {"empty.txt", {}}};
}

// Writes files with a format and options ("" for none), into memory.
Bytes WriteArchive(const Files& files, int (*setFormat)(archive*), const char* filter,
                   const char* options, const char* passphrase = nullptr) {
  Writer a(archive_write_new());
  EXPECT_EQ(setFormat(a.get()), ARCHIVE_OK);
  if (*filter) {
    EXPECT_EQ(archive_write_add_filter_by_name(a.get(), filter), ARCHIVE_OK) << filter;
  }
  if (*options) {
    EXPECT_EQ(archive_write_set_options(a.get(), options), ARCHIVE_OK)
        << options << ": " << archive_error_string(a.get());
  }
  if (passphrase) {
    EXPECT_EQ(archive_write_set_passphrase(a.get(), passphrase), ARCHIVE_OK);
  }
  Bytes out(1 << 20);
  std::size_t used = 0;
  EXPECT_EQ(archive_write_open_memory(a.get(), out.data(), out.size(), &used), ARCHIVE_OK);
  for (const auto& [name, data] : files) {
    std::unique_ptr<archive_entry, decltype(&archive_entry_free)> entry(archive_entry_new(),
                                                                        archive_entry_free);
    archive_entry_set_pathname(entry.get(), name.c_str());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(data.size()));
    EXPECT_EQ(archive_write_header(a.get(), entry.get()), ARCHIVE_OK)
        << archive_error_string(a.get());
    if (!data.empty()) {
      EXPECT_EQ(archive_write_data(a.get(), data.data(), data.size()),
                static_cast<la_ssize_t>(data.size()));
    }
  }
  EXPECT_EQ(archive_write_close(a.get()), ARCHIVE_OK) << archive_error_string(a.get());
  out.resize(used);
  return out;
}

// Reads every entry back with all formats and filters; a failure is returned as its message.
std::string ReadArchive(const Bytes& bytes, Files& files, const char* passphrase = nullptr) {
  Reader a(archive_read_new());
  archive_read_support_format_all(a.get());
  archive_read_support_format_raw(a.get());
  archive_read_support_filter_all(a.get());
  if (passphrase) archive_read_add_passphrase(a.get(), passphrase);
  if (archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK)
    return archive_error_string(a.get());
  archive_entry* entry = nullptr;
  int status;
  while ((status = archive_read_next_header(a.get(), &entry)) == ARCHIVE_OK) {
    Bytes& data = files[archive_entry_pathname(entry)];
    std::uint8_t block[16384];
    la_ssize_t got;
    while ((got = archive_read_data(a.get(), block, sizeof block)) > 0)
      data.insert(data.end(), block, block + got);
    if (got < 0) return archive_error_string(a.get());
  }
  if (status != ARCHIVE_EOF) return archive_error_string(a.get());
  return {};
}

TEST(ArchiveLibrary, HasEveryCompressionLibraryLinkedIn) {
  // Null means libarchive was built without the library (it would then try external programs).
  EXPECT_NE(archive_zlib_version(), nullptr);
  EXPECT_NE(archive_bzlib_version(), nullptr);
  EXPECT_NE(archive_liblzma_version(), nullptr);
  EXPECT_NE(archive_libzstd_version(), nullptr);
  Reader a(archive_read_new());
  for (auto support : {archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
                       archive_read_support_filter_xz, archive_read_support_filter_lzma,
                       archive_read_support_filter_zstd})
    EXPECT_EQ(support(a.get()), ARCHIVE_OK) << "ARCHIVE_WARN: it falls back to an external program";
}

struct RoundTrip {
  const char* label;
  int (*format)(archive*);
  const char* filter;
  const char* options;
};

TEST(ArchiveLibrary, ReadsBackWhatItWrites) {
  const RoundTrip cases[] = {
      {"zip stored", archive_write_set_format_zip, "", "zip:compression=store"},
      {"zip deflate", archive_write_set_format_zip, "", "zip:compression=deflate"},
      {"tar gzip", archive_write_set_format_pax_restricted, "gzip", ""},
      {"tar bzip2", archive_write_set_format_pax_restricted, "bzip2", ""},
      {"tar xz", archive_write_set_format_pax_restricted, "xz", ""},
      {"tar lzma", archive_write_set_format_pax_restricted, "lzma", ""},
      {"7z lzma2", archive_write_set_format_7zip, "", "7zip:compression=lzma2"},
      {"7z bzip2", archive_write_set_format_7zip, "", "7zip:compression=bzip2"},
  };
  const Files files = SampleFiles();
  for (const RoundTrip& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes packed = WriteArchive(files, c.format, c.filter, c.options);
    Files read;
    EXPECT_EQ(ReadArchive(packed, read), "");
    EXPECT_EQ(read, files);
  }
}

TEST(ArchiveLibrary, DecryptsWinZipAesThroughCng) {
  const Files files = SampleFiles();
  for (const char* options :
       {"zip:encryption=aes256", "zip:encryption=aes128", "zip:encryption=traditional"}) {
    SCOPED_TRACE(options);
    const Bytes packed =
        WriteArchive(files, archive_write_set_format_zip, "", options, "s\xc3\xa9same");
    Files read;
    EXPECT_EQ(ReadArchive(packed, read, "s\xc3\xa9same"), "");
    EXPECT_EQ(read, files);
    Files wrong;
    EXPECT_NE(ReadArchive(packed, wrong, "sesame"), "") << "a wrong passphrase must not decrypt";
  }
}

TEST(ArchiveLibrary, DecodesAZstdFrame) {
  // libarchive cannot write zstd here (decoder-only libzstd): one frame of a raw and an RLE block.
  const std::string text = "zstandard frame read through libarchive's zstd filter\n";
  Bytes frame = {0x28, 0xB5, 0x2F, 0xFD, 0x20, 0};  // magic; single segment, 1-byte size
  const std::uint32_t rawHeader = 0u | (0u << 1) | (static_cast<std::uint32_t>(text.size()) << 3);
  const std::uint32_t rleHeader = 1u | (1u << 1) | (100u << 3);  // last block, RLE, 100 bytes
  frame[5] = static_cast<std::uint8_t>(text.size() + 100);
  for (int i = 0; i < 3; ++i) frame.push_back(static_cast<std::uint8_t>(rawHeader >> (8 * i)));
  frame.insert(frame.end(), text.begin(), text.end());
  for (int i = 0; i < 3; ++i) frame.push_back(static_cast<std::uint8_t>(rleHeader >> (8 * i)));
  frame.push_back('!');

  Files read;
  ASSERT_EQ(ReadArchive(frame, read), "");
  ASSERT_EQ(read.size(), 1u);
  Bytes expected(text.begin(), text.end());
  expected.insert(expected.end(), 100, '!');
  EXPECT_EQ(read.begin()->second, expected);
}

}  // namespace
