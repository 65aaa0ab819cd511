// Where our image ends: synthetic headers, damaged headers, and (natively) real MinGW exes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "stub/core/pe_image.h"
#include "tests/input_path.h"
#include "tests/native/stub_test_support.h"

namespace kzsfx {
namespace {

using testing::Bytes;
using testing::MemorySource;

constexpr std::size_t pe = 0x80;
constexpr std::size_t optional_header = pe + 24;
constexpr std::size_t section_table = optional_header + 224;

void put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

ImageEnd end_of(Bytes bytes) {
  MemorySource source(std::move(bytes));
  return FindImageEnd(source);
}

TEST(StubPeImage, EndIsTheFurthestSectionWhateverFollows) {
  for (unsigned sections : {1u, 3u, 5u}) {
    Bytes head = testing::make_pe_head(sections, 0x400);
    const std::size_t image = head.size();
    ImageEnd bare = end_of(head);
    ASSERT_TRUE(bare.ok) << bare.error;
    EXPECT_EQ(bare.offset, image);
    head.insert(head.end(), {'P', 'K', 3, 4, 0, 0, 0, 0});
    ImageEnd with_archive = end_of(head);
    ASSERT_TRUE(with_archive.ok);
    EXPECT_EQ(with_archive.offset, image);
  }
}

TEST(StubPeImage, LayoutsThatStillHaveAnEnd) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> edit;
    std::uint64_t expected_end;  // for a 3-section head of 0x200 each, 0x800 long
  };
  const Case cases[] = {
      {"sections listed out of file order",
       [](Bytes& b) {
         put32(b, section_table + 20, 0x600);
         put32(b, section_table + 2 * 40 + 20, 0x200);
       },
       0x800},
      {"empty last section ignored", [](Bytes& b) { put32(b, section_table + 2 * 40 + 16, 0); },
       0x600},
      {"certificate table after the sections",
       [](Bytes& b) {
         b.resize(0x900);
         put32(b, optional_header + 96 + 4 * 8, 0x800);
         put32(b, optional_header + 96 + 4 * 8 + 4, 0x100);
       },
       0x900},
      {"COFF symbols and string table after the sections",
       [](Bytes& b) {
         b.resize(0x800 + 2 * 18 + 10);
         put32(b, pe + 4 + 8, 0x800);
         put32(b, pe + 4 + 12, 2);
         put32(b, 0x800 + 2 * 18, 10);
       },
       0x800 + 2 * 18 + 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes head = testing::make_pe_head(3, 0x200);
    c.edit(head);
    head.resize(head.size() + 100, 0xAA);  // the archive
    ImageEnd end = end_of(head);
    ASSERT_TRUE(end.ok) << end.error;
    EXPECT_EQ(end.offset, c.expected_end);
  }
}

TEST(StubPeImage, DamagedHeadersAreRejectedNotFollowed) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> edit;
  };
  const Case cases[] = {
      {"empty file", [](Bytes& b) { b.clear(); }},
      {"shorter than a DOS header", [](Bytes& b) { b.resize(40); }},
      {"no MZ", [](Bytes& b) { b[0] = 'Z'; }},
      {"PE offset past the end", [](Bytes& b) { put32(b, 0x3C, 0x7FFFFFF0); }},
      {"PE offset wraps", [](Bytes& b) { put32(b, 0x3C, 0xFFFFFFFF); }},
      {"no PE signature", [](Bytes& b) { b[pe + 1] = 'X'; }},
      {"no sections", [](Bytes& b) { b[pe + 6] = 0, b[pe + 7] = 0; }},
      {"optional header too small", [](Bytes& b) { b[pe + 20] = 16, b[pe + 21] = 0; }},
      {"optional header past the end", [](Bytes& b) { b[pe + 20] = 0xFF, b[pe + 21] = 0xFF; }},
      {"unknown optional magic", [](Bytes& b) { b[optional_header] = 0x07; }},
      {"section count past the end", [](Bytes& b) { b[pe + 6] = 0xFF, b[pe + 7] = 0xFF; }},
      {"section data past the end", [](Bytes& b) { put32(b, section_table + 40 + 16, 0x10000); }},
      {"section offset wraps",
       [](Bytes& b) {
         put32(b, section_table + 20, 0xFFFFFF00);
         put32(b, section_table + 16, 0x200);
       }},
      {"file cut inside a section", [](Bytes& b) { b.resize(0x700); }},
      {"file cut inside the section table", [](Bytes& b) { b.resize(section_table + 50); }},
      {"certificate past the end",
       [](Bytes& b) {
         put32(b, optional_header + 96 + 4 * 8, 0x800);
         put32(b, optional_header + 96 + 4 * 8 + 4, 0x100000);
       }},
      {"symbol table past the end",
       [](Bytes& b) {
         put32(b, pe + 4 + 8, 0x7F0);
         put32(b, pe + 4 + 12, 0x1000000);
       }},
      {"string table past the end",
       [](Bytes& b) {
         b.resize(0x800 + 18 + 4);
         put32(b, pe + 4 + 8, 0x800);
         put32(b, pe + 4 + 12, 1);
         put32(b, 0x800 + 18, 0xFFFFFF);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes head = testing::make_pe_head(3, 0x200);
    c.edit(head);
    ImageEnd end = end_of(head);
    EXPECT_FALSE(end.ok) << "accepted with end " << end.offset;
    EXPECT_FALSE(end.error.empty());
  }
}

TEST(StubPeImage, EveryTruncationOfAValidHeadIsRejected) {
  const Bytes head = testing::make_pe_head(2, 0x200);
  for (std::size_t cut = 0; cut < head.size(); cut += 7) {
    ImageEnd end = end_of(Bytes(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(cut)));
    EXPECT_FALSE(end.ok) << "cut at " << cut;
  }
}

TEST(StubPeImage, RealMinGWExecutables) {
  // A stripped and an unstripped program from the cross compiler: the image is the
  // whole file, and stays the same with an archive appended.
  const std::string folder = quillet::testing::InputPath("STUB_TINY_PROGRAMS");
  if (folder.empty()) GTEST_SKIP() << "this build made no small PE files";
  for (const char* name : {"stub_tiny.exe", "stub_tiny_symbols.exe"}) {
    SCOPED_TRACE(name);
    Bytes exe = testing::read_file(std::filesystem::path(folder) / name);
    ASSERT_GT(exe.size(), 1024u);
    const std::size_t size = exe.size();
    ImageEnd end = end_of(exe);
    ASSERT_TRUE(end.ok) << end.error;
    EXPECT_EQ(end.offset, size);
    exe.insert(exe.end(), 5000, 0x42);
    end = end_of(exe);
    ASSERT_TRUE(end.ok) << end.error;
    EXPECT_EQ(end.offset, size);
  }
}

}  // namespace
}  // namespace kzsfx
