// The core's small rules: UTF-8 checks, CRC-32, the download mark, error classes, exit codes,
// entry times.
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "stub/core/crc32.h"
#include "stub/core/entry_info.h"
#include "stub/core/entry_errors.h"
#include "stub/core/results.h"
#include "stub/core/shown_text.h"
#include "stub/core/utf8.h"
#include "stub/core/zip_names.h"
#include "stub/core/zone_mark.h"

namespace kzsfx {
namespace {

TEST(StubUtf8, Validity) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"", true},
      {"plain", true},
      {"\xE4\xB8\xAD\xE6\x96\x87", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xC3\xA9", true},
      {"\xC3", false},  // cut sequence
      {"\xE4\xB8", false},
      {"\x80", false},              // stray continuation
      {"\xC0\x80", false},          // overlong NUL
      {"\xE0\x80\xAF", false},      // overlong '/'
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\xFF", false},
      {std::string("a\0b", 3), false},  // embedded NUL
      {"\xD6\xD0\xCE\xC4", false},      // GBK "中文"
  };
  for (const auto& c : cases)
    EXPECT_EQ(utf8::Valid(c.text), c.valid) << testing::PrintToString(c.text);
}

TEST(StubUtf8, WideConversionAndUtf16Length) {
  EXPECT_EQ(utf8::FromWide(L"abc"), "abc");
  EXPECT_EQ(utf8::FromWide(L"\u4e2d\u6587"), "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(utf8::FromWide(L"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(utf8::Utf16Length("\xF0\x9F\x98\x80"), 2u);
  EXPECT_EQ(utf8::Utf16Length("a\xE4\xB8\xAD"), 2u);
  if constexpr (sizeof(wchar_t) == 2) {
    const wchar_t lone_surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    EXPECT_EQ(utf8::FromWide(lone_surrogate), "");
  }
}

TEST(StubShownText, NothingInANameCanAddALineOrReorderTheText) {
  struct Case {
    std::string text;
    std::string shown;
  };
  const Case cases[] = {
      {"plain/name.txt", "plain/name.txt"},
      {"\xE4\xB8\xAD\xE6\x96\x87 \xC2\xA0\xE3\x80\x80.txt",
       "\xE4\xB8\xAD\xE6\x96\x87 \xC2\xA0\xE3\x80\x80.txt"},  // spaces show
      {"fake\r\nline", "fake\\u000D\\u000Aline"},
      {"tab\tbell\a\x7F", "tab\\u0009bell\\u0007\\u007F"},
      {"photo\xE2\x80\xAEgpj.exe", "photo\\u202Egpj.exe"},  // right-to-left override
      {"\xE2\x81\xA6x\xE2\x81\xA9", "\\u2066x\\u2069"},     // isolates
      {"a\xE2\x80\xA8"
       "b\xE2\x80\xA9"
       "c",
       "a\\u2028b\\u2029c"},                                       // line, paragraph separators
      {"soft\xC2\xADhyphen\xC2\x85", "soft\\u00ADhyphen\\u0085"},  // Cf and C1
      {"\xEF\xBB\xBFzw\xE2\x80\x8B", "\\uFEFFzw\\u200B"},
      {"tag\xF3\xA0\x80\x81", "tag\\U000E0001"},           // beyond the BMP
      {"vs\xEF\xB8\x8F\xE3\x85\xA4", "vs\\uFE0F\\u3164"},  // default ignorable
      {"gbk\xD6\xD0\xCE\xC4", "gbk\\xD6\\xD0\\xCE\\xC4"},  // not UTF-8
      {std::string("nul\0", 4), "nul\\x00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.text));
    EXPECT_EQ(ShownText(c.text), c.shown);
  }
}

TEST(StubCrc32, MatchesTheZipPolynomialInPieces) {
  const std::string check = "123456789";
  EXPECT_EQ(Crc32Update(0, check.data(), check.size()), 0xCBF43926u);  // the standard check value
  std::uint32_t crc = 0;
  for (char c : check) crc = Crc32Update(crc, &c, 1);
  EXPECT_EQ(crc, 0xCBF43926u);
  EXPECT_EQ(Crc32Update(0, "", 0), 0u);
}

TEST(StubZoneMark, WhatExtractedFilesInherit) {
  const std::string internet = "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=https://example.com/\r\n";
  const std::string intranet = "[ZoneTransfer]\r\nZoneId=1\r\n";
  EXPECT_EQ(ZoneMarkToCopy(std::nullopt), std::nullopt);
  EXPECT_EQ(ZoneMarkToCopy(internet), internet);
  EXPECT_EQ(ZoneMarkToCopy(intranet), intranet);
  // Present but unreadable or oversized still means "downloaded".
  for (const std::string& damaged :
       {std::string(), std::string("garbage"), std::string("ZoneId=4"),
        "[ZoneTransfer]\r\nZoneId=3\r\n" + std::string(kMaxZoneMarkSize, 'x')}) {
    auto mark = ZoneMarkToCopy(damaged);
    ASSERT_TRUE(mark);
    EXPECT_NE(mark->find("ZoneId=3"), std::string::npos);
    EXPECT_LE(mark->size(), kMaxZoneMarkSize);
  }
}

TEST(StubEntryErrors, LibarchiveMessagesMapToProblems) {
  struct Case {
    const char* message;
    bool encrypted;
    Problem problem;
  };
  const Case cases[] = {
      {"ZIP bad CRC: 0x1 should be 0x2", false, Problem::kCrcMismatch},
      {"7-Zip bad CRC: 0x1 should be 0x2", false, Problem::kCrcMismatch},
      {"ZIP bad CRC: 0x1 should be 0x2", true, Problem::kWrongPassword},
      {"Incorrect passphrase", true, Problem::kWrongPassword},
      {"Passphrase required for this entry", true, Problem::kPasswordRequired},
      {"Unsupported ZIP compression method (6: imploded)", false, Problem::kUnsupported},
      {"The file content is encrypted, but currently not supported", true, Problem::kUnsupported},
      {"Unknown codec ID: 21", false, Problem::kUnsupported},
      {"Lzma library error: Cannot allocate memory", false,
       Problem::kUnsupported},  // 7z's dictionary
      {"Truncated ZIP file data", false, Problem::kTruncated},
      {"Truncated 7-Zip file body", true, Problem::kTruncated},
      {"ZIP decompression failed (-3)", false, Problem::kDataError},
      {"", false, Problem::kDataError},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ClassifyDataError(c.message, c.encrypted), c.problem) << c.message;
}

TEST(StubZipNames, WhichNamesAreTakenAsUtf8) {
  const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87.txt";  // 中文.txt
  const std::string gbk = "\xD6\xD0\xCE\xC4.txt";           // 中文.txt in GBK
  const std::string both = "\xC3\xA9.txt";                  // valid UTF-8 and valid GBK
  struct Case {
    const char* what;
    ZipName name;
    std::optional<std::string> expected;  // nothing: the code page decides
  };
  auto make = [](std::string raw, std::uint8_t host, bool flag,
                 std::optional<std::string> field = {}) {
    ZipName n;
    n.raw = std::move(raw);
    n.host = host;
    n.utf8Flag = flag;
    n.unicodePath = std::move(field);
    return n;
  };
  const Case cases[] = {
      {"flagged UTF-8", make(utf8, 0, true), utf8},
      {"flagged but not UTF-8", make(gbk, 0, true), std::nullopt},
      {"Unicode path field", make(gbk, 0, false, utf8), utf8},
      {"field that is not UTF-8", make(gbk, 0, false, gbk), std::nullopt},
      {"Unix archiver, UTF-8 bytes", make(utf8, 3, false), utf8},
      {"macOS archiver, UTF-8 bytes", make(both, 19, false), both},
      {"Unix archiver, GBK bytes", make(gbk, 3, false), std::nullopt},
      {"DOS archiver, bytes valid in both", make(both, 0, false), std::nullopt},
      {"NTFS archiver, UTF-8 bytes", make(utf8, 10, false), std::nullopt},
      {"plain ASCII from Unix", make("a/b.txt", 3, false), std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ZipNameUtf8(c.name), c.expected) << c.what;
}

TEST(StubResults, ExitCodesFollowSevenZip) {
  auto with = [](auto edit) {
    ExtractResult r;
    edit(r);
    return r.exit_code();
  };
  const EntryReport report{"x", Problem::kCrcMismatch, PathRefusal::kNone, {}};
  EXPECT_EQ(with([](ExtractResult&) {}), ExitCode::kOk);
  EXPECT_EQ(with([&](ExtractResult& r) { r.skipped.push_back(report); }), ExitCode::kOk);
  EXPECT_EQ(with([&](ExtractResult& r) { r.warnings.push_back(report); }), ExitCode::kWarning);
  EXPECT_EQ(with([&](ExtractResult& r) {
              r.refused.push_back(report);
              r.warnings.push_back(report);
            }),
            ExitCode::kFatal);
  EXPECT_EQ(with([&](ExtractResult& r) { r.failed.push_back(report); }), ExitCode::kFatal);
  EXPECT_EQ(with([](ExtractResult& r) { r.fatal = Fatal::kUnknownFormat; }), ExitCode::kFatal);
  EXPECT_EQ(with([&](ExtractResult& r) {
              r.cancelled = true;
              r.failed.push_back(report);
            }),
            ExitCode::kCancelled);
  EXPECT_EQ(with([](ExtractResult& r) {
              r.fatal = Fatal::kOutOfMemory;
              r.cancelled = true;
            }),
            ExitCode::kOutOfMemory);
  EXPECT_EQ(static_cast<int>(ExitCode::kBadCommandLine), 7);
  EXPECT_EQ(static_cast<int>(ExitCode::kCancelled), 255);
}

TEST(StubEntryInfo, TimesBecomeFileTimesWithoutOverflow) {
  // 7z stores any 64-bit tick count: with a 64-bit time_t libarchive hands on up to 1.8e12
  // seconds, which the Windows side's ticks since 1601 would overflow. Every time must
  // survive that sum.
  struct Case {
    std::int64_t seconds;
    long nanoseconds;
    std::int64_t kept;  // the seconds expected through
  };
  const Case cases[] = {
      {1700000000, 500000000, 1700000000},
      {0, 0, 0},
      {-1, 999999999, -1},
      {1844674407370 - 11644473600, 5, kLatestModifiedSeconds},  // FILETIME 0xFFFF...
      {LLONG_MAX, 999999999, kLatestModifiedSeconds},
      {LLONG_MIN, 0, kEarliestModifiedSeconds},
      {-20000000000, 0, kEarliestModifiedSeconds},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seconds);
    // A 32-bit time_t (32-bit MinGW) cannot even hold the large ones: nothing to clamp there.
    if (static_cast<std::int64_t>(static_cast<time_t>(c.seconds)) != c.seconds) continue;
    std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                   archive_entry_free);
    archive_entry_set_pathname(entry.get(), "f.txt");
    archive_entry_set_mtime(entry.get(), static_cast<time_t>(c.seconds), c.nanoseconds);
    const FileMetadata meta = InspectEntry(entry.get(), "f.txt").meta;
    ASSERT_TRUE(meta.modifiedSeconds);
    EXPECT_EQ(*meta.modifiedSeconds, c.kept);
    EXPECT_LT(meta.modifiedNanoseconds, 1000000000u);
    std::int64_t ticks = 0;
    EXPECT_FALSE(
        __builtin_add_overflow(*meta.modifiedSeconds, std::int64_t{11644473600}, &ticks) ||
        __builtin_mul_overflow(ticks, std::int64_t{10000000}, &ticks) ||
        __builtin_add_overflow(ticks, std::int64_t{meta.modifiedNanoseconds / 100}, &ticks));
    EXPECT_GE(ticks, 0);
  }
}

}  // namespace
}  // namespace kzsfx
