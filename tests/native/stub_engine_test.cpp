// The extraction engine on real archives behind a PE head: trees byte for byte, refusals,
// damaged data, passwords, overwrite answers, cancellation, free space and the download mark.
#include <gtest/gtest.h>
#include <zlib.h>

#include <clocale>
#include <random>
#include <set>
#include <filesystem>

#include "stub/core/extraction.h"
#include "stub/core/listing.h"
#include "stub/core/pe_image.h"
#include "stub/core/zip_chunks.h"
#include "stub/core/zip_names.h"
#include "stub/core/decoder_limits.h"
#include "tests/input_path.h"
#include "tests/native/std_workers.h"
#include "tests/native/stub_test_support.h"

namespace kzsfx {
namespace {

namespace fs = std::filesystem;
using testing::FolderDestination;
using testing::RecordingObserver;
using testing::SplicedSource;

fs::path data_dir() { return quillet::testing::InputPath("STUB_ARCHIVES"); }

class Environment : public ::testing::Environment {
 public:
  // libarchive converts names into the locale's charset natively; Windows keeps them wide.
  void SetUp() override { std::setlocale(LC_ALL, "C.UTF-8"); }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new Environment);

struct Outcome {
  Listing listing;
  ExtractResult result;
};

class StubEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    sandbox = fs::temp_directory_path() /
              ("kzsfx-engine-" + std::to_string(std::random_device{}()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(sandbox);
    dest = sandbox / "out";
    fs::create_directories(dest);
  }
  void TearDown() override { fs::remove_all(sandbox); }

  // The exe = a PE head followed by the archive, as the converter writes it.
  std::unique_ptr<SplicedSource> exe_for(const std::string& archive, std::uint64_t gap = 0) {
    return std::make_unique<SplicedSource>(testing::make_pe_head(), gap, data_dir() / archive);
  }

  Outcome extract(const std::string& archive, Options options = {},
                  RecordingObserver* observer = nullptr, FolderDestination* destination = nullptr) {
    RecordingObserver own_observer;
    FolderDestination own_destination(dest);
    if (!observer) observer = &own_observer;
    if (!destination) destination = &own_destination;
    if (options.nameCharset.empty()) options.nameCharset = testing::gbk_charset;
    if (!options.decodeLegacyName && !without_decoder)
      options.decodeLegacyName = testing::decode_gbk;
    auto exe = exe_for(archive);
    ImageEnd end = FindImageEnd(*exe);
    EXPECT_TRUE(end.ok) << end.error;
    Outcome run;
    run.listing = ListArchive(*exe, end.offset, options, *observer);
    run.result = ExtractArchive(*exe, end.offset, destination, options, *observer, &run.listing);
    EXPECT_LE(exe->largest_read, 128u * 1024) << "reads are bounded whatever the archive's size";
    return run;
  }

  std::vector<std::string> differences(const std::string& archive) {
    return testing::tree_differences(data_dir() / (archive + ".expected"), dest);
  }

  // No temporary or half-written file anywhere below the destination.
  std::vector<std::string> leftovers() {
    std::vector<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(dest))
      if (item.path().filename().string().rfind(".kzsfx-", 0) == 0)
        found.push_back(item.path().string());
    return found;
  }

  std::size_t expected_files(const std::string& archive) {
    std::size_t n = 0;
    for (const auto& [name, bytes] : testing::snapshot(data_dir() / (archive + ".expected")))
      n += name.back() != '/';
    return n;
  }

  fs::path sandbox, dest;
  bool without_decoder = false;
};

TEST_F(StubEngine, GoodArchivesExtractByteForByte) {
  const char* archives[] = {
      "deflate.zip",      "stored.zip",       "bzip2.zip",
      "lzma.zip",         "ppmd.zip",         "zip64.zip",
      "solid.7z",         "copy.7z",          "bzip2.7z",
      "deflate.7z",       "7z_named.kz",      "utf8.zip",
      "gbk.zip",          "unicode_path.zip", "unicode_path_gbk.zip",
      "infozip_unix.zip", "long_comment.zip", "empty.zip",
  };
  for (const char* archive : archives) {
    SCOPED_TRACE(archive);
    fs::remove_all(dest);
    fs::create_directories(dest);
    Outcome run = extract(archive);
    EXPECT_EQ(run.result.exit_code(), ExitCode::kOk)
        << Describe(run.result.fatal) << " " << run.result.fatalDetail;
    EXPECT_EQ(run.result.files, expected_files(archive));
    EXPECT_EQ(run.result.bytes, run.listing.declaredTotal);
    EXPECT_TRUE(run.result.failed.empty() && run.result.refused.empty() &&
                run.result.warnings.empty());
    EXPECT_EQ(differences(archive), std::vector<std::string>{});
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
  }
}

TEST_F(StubEngine, LibarchiveDecodesLegacyNamesWhenNoDecoderIsGiven) {
  without_decoder = true;
  for (const char* archive : {"gbk.zip", "unicode_path.zip", "infozip_unix.zip", "utf8.zip"}) {
    SCOPED_TRACE(archive);
    fs::remove_all(dest);
    fs::create_directories(dest);
    Outcome run = extract(archive);
    EXPECT_EQ(run.result.exit_code(), ExitCode::kOk);
    EXPECT_EQ(differences(archive), std::vector<std::string>{});
  }
}

TEST_F(StubEngine, ListingGivesTheDialogItsDefaults) {
  struct Case {
    const char* archive;
    bool single;
    const char* top;
    std::uint64_t files;
    bool encrypted;
  };
  const Case cases[] = {
      {"deflate.zip", true, "pack", 6, false},
      {"solid.7z", true, "pack", 6, false},
      {"gbk.zip", false, "", 4, false},
      {"unicode_path.zip", true, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\x8A.txt", 1, false},
      {"empty.zip", false, "", 0, false},
      {"zipcrypto.zip", true, "pack", 5, true},
      {"hostile.zip", true, "ok", 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    RecordingObserver observer;
    Options options;
    options.nameCharset = testing::gbk_charset;
    auto exe = exe_for(c.archive);
    Listing listing = ListArchive(*exe, FindImageEnd(*exe).offset, options, observer);
    EXPECT_EQ(listing.fatal, Fatal::kNone) << listing.fatalDetail;
    EXPECT_EQ(listing.singleTopLevel, c.single);
    EXPECT_EQ(listing.topLevel, c.top);
    EXPECT_EQ(listing.files, c.files);
    EXPECT_EQ(listing.anyEncrypted, c.encrypted);
    EXPECT_TRUE(observer.password_questions.empty()) << "listing never needs the password";
  }
}

TEST_F(StubEngine, DamagedEntriesFailAloneAndLeaveNothing) {
  struct Case {
    const char* archive;
    const char* failed;
    Problem problem;
  };
  const Case cases[] = {
      {"bad_crc.zip", "broken.txt", Problem::kCrcMismatch},
      {"unsupported.zip", "imploded.bin", Problem::kUnsupported},
      {"liar.zip", "liar.bin", Problem::kLargerThanDeclared},
      {"bad_deflate.zip", "garbled.bin", Problem::kDataError},
      {"odd_link.zip", "odd/link", Problem::kUnsupported},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    fs::remove_all(dest);
    fs::create_directories(dest);
    Outcome run = extract(c.archive);
    EXPECT_EQ(run.result.exit_code(), ExitCode::kFatal);
    EXPECT_EQ(run.result.fatal, Fatal::kNone);
    ASSERT_EQ(run.result.failed.size(), 1u);
    EXPECT_EQ(run.result.failed[0].path, c.failed);
    EXPECT_EQ(run.result.failed[0].problem, c.problem)
        << Describe(run.result.failed[0].problem) << ": " << run.result.failed[0].detail;
    EXPECT_EQ(differences(c.archive), std::vector<std::string>{});  // the others are all there
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
  }
}

TEST_F(StubEngine, ManyDamagedEntriesAreEachNamedInBoundedWork) {
  auto exe = exe_for("many_bad.zip");
  const std::uint64_t offset = FindImageEnd(*exe).offset;
  RecordingObserver observer;
  FolderDestination destination(dest);
  ExtractResult result = ExtractArchive(*exe, offset, &destination, {}, observer);
  EXPECT_EQ(result.failed.size(), 3000u);
  for (const auto& failure : result.failed)
    ASSERT_EQ(failure.problem, Problem::kCrcMismatch) << failure.path;
  EXPECT_EQ(result.files, 1u);
  EXPECT_EQ(differences("many_bad.zip"), std::vector<std::string>{});
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
  // Reopening after every failure would reread the archive thousands of times.
  const std::uint64_t archive_size = exe->size() - offset;
  EXPECT_LT(exe->bytes_read, 100 * archive_size);
}

TEST_F(StubEngine, MethodsTheLibraryLacksAreNamedPerEntry) {
  // 7-Zip stores what it cannot shrink and Deflate64-compresses the rest: the stored
  // entries come out, each Deflate64 one is reported as unsupported.
  Outcome run = extract("deflate64.zip");
  EXPECT_EQ(run.result.exit_code(), ExitCode::kFatal);
  ASSERT_FALSE(run.result.failed.empty());
  for (const auto& failure : run.result.failed)
    EXPECT_EQ(failure.problem, Problem::kUnsupported) << failure.path << ": " << failure.detail;
  auto expected = testing::snapshot(data_dir() / "deflate64.zip.expected");
  for (const auto& [name, bytes] : testing::snapshot(dest))
    EXPECT_EQ(bytes, expected.at(name)) << name;
  EXPECT_EQ(run.result.files + run.result.failed.size(), expected_files("deflate64.zip"));
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(StubEngine, WholeArchiveFaultsAreFatalWithNothingWritten) {
  struct Case {
    const char* archive;
    Fatal fatal;
  };
  const Case cases[] = {
      {"truncated.zip", Fatal::kCorruptArchive},
      {"garbage.kz", Fatal::kUnknownFormat},
      {"header_encrypted.7z", Fatal::kUnsupportedArchive},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    Outcome run = extract(c.archive);
    EXPECT_EQ(run.result.fatal, c.fatal) << Describe(run.result.fatal);
    EXPECT_EQ(run.result.exit_code(), ExitCode::kFatal);
    EXPECT_TRUE(fs::is_empty(dest));
  }
  // Nothing at all after the image.
  RecordingObserver observer;
  testing::MemorySource bare(testing::make_pe_head());
  ExtractResult result = ExtractArchive(bare, FindImageEnd(bare).offset, nullptr, {}, observer);
  EXPECT_EQ(result.fatal, Fatal::kNoArchive);
  EXPECT_EQ(result.exit_code(), ExitCode::kFatal);
}

TEST_F(StubEngine, HostileNamesAreRefusedAndTheRestExtracts) {
  Outcome run = extract("hostile.zip");
  EXPECT_EQ(run.result.exit_code(), ExitCode::kFatal);
  EXPECT_EQ(differences("hostile.zip"), std::vector<std::string>{});
  // Nothing beside or above the destination.
  EXPECT_EQ(testing::snapshot(sandbox).size(), testing::snapshot(dest).size() + 1);

  struct Expected {
    const char* name;
    PathRefusal refusal;
  };
  const Expected expected[] = {
      {"../escape.txt", PathRefusal::kParentReference},
      {"..\\escape2.txt", PathRefusal::kParentReference},
      {"/etc/abs.txt", PathRefusal::kAbsolute},
      {"\\abs2.txt", PathRefusal::kAbsolute},
      {"C:/drive.txt", PathRefusal::kDriveLetter},
      {"c:drive2.txt", PathRefusal::kDriveLetter},
      {"\\\\server\\share\\unc.txt", PathRefusal::kUnc},
      {"//server/share/unc2.txt", PathRefusal::kUnc},
      {"a/../../up.txt", PathRefusal::kParentReference},
      {"sub\\..\\..\\up2.txt", PathRefusal::kParentReference},
      {"CON", PathRefusal::kDeviceName},
      {"nul.txt", PathRefusal::kDeviceName},
      {"sub/Com1.log", PathRefusal::kDeviceName},
      {"LPT9", PathRefusal::kDeviceName},
      {"aux .txt", PathRefusal::kDeviceName},
      {"file.txt:stream", PathRefusal::kStreamColon},
      {"dots./x.txt", PathRefusal::kTrailingDotOrSpace},
      {"space /x.txt", PathRefusal::kTrailingDotOrSpace},
      {"ask?.txt", PathRefusal::kInvalidCharacter},
      {"tab\there.txt", PathRefusal::kInvalidCharacter},
      {"d/d/.../deep.txt (20,000 folders)", PathRefusal::kTooDeep},
  };
  ASSERT_EQ(run.result.refused.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(run.result.refused[i].problem, Problem::kRefusedPath);
    EXPECT_EQ(run.result.refused[i].refusal, expected[i].refusal);
  }
  ASSERT_EQ(run.result.warnings.size(), 1u);
  EXPECT_EQ(run.result.warnings[0].path, "ok/link");
  EXPECT_EQ(run.result.warnings[0].problem, Problem::kLinkSkipped);
  EXPECT_EQ(run.listing.refused.size(), std::size(expected) + 1);
}

TEST_F(StubEngine, PasswordsFromOptionsAndPrompts) {
  struct Case {
    const char* archive;
    std::vector<std::string> option;
    std::vector<std::string> answers;
    ExitCode exit;
    Problem problem;        // of every failed file
    std::size_t questions;  // password prompts shown
    bool tree_complete;
  };
  const Case cases[] = {
      {"zipcrypto.zip", {"secret"}, {}, ExitCode::kOk, Problem::kNone, 0, true},
      {"zipcrypto.zip", {"wrong"}, {}, ExitCode::kFatal, Problem::kWrongPassword, 5, false},
      {"zipcrypto.zip", {}, {}, ExitCode::kFatal, Problem::kPasswordRequired, 5, false},
      {"zipcrypto.zip", {}, {"wrong", "secret"}, ExitCode::kOk, Problem::kNone, 2, true},
      {"zipcrypto.zip", {"\xE5\xAF\x86", "secret"}, {}, ExitCode::kOk, Problem::kNone, 0, true},
      {"aes.zip", {"secret"}, {}, ExitCode::kOk, Problem::kNone, 0, true},
      {"aes.zip", {}, {"nope", "secret"}, ExitCode::kOk, Problem::kNone, 2, true},
      {"aes.zip", {"wrong"}, {}, ExitCode::kFatal, Problem::kWrongPassword, 5, false},
      {"encrypted.7z", {"secret"}, {}, ExitCode::kFatal, Problem::kUnsupported, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.archive) + " option " + (c.option.empty() ? "" : c.option[0]) +
                 " answers " + std::to_string(c.answers.size()));
    fs::remove_all(dest);
    fs::create_directories(dest);
    Options options;
    options.password = c.option;
    RecordingObserver observer;
    observer.passwords = c.answers;
    Outcome run = extract(c.archive, options, &observer);
    EXPECT_EQ(run.result.exit_code(), c.exit);
    for (const auto& failure : run.result.failed)
      EXPECT_EQ(failure.problem, c.problem) << failure.path << ": " << failure.detail;
    EXPECT_EQ(observer.password_questions.size(), c.questions);
    for (std::size_t i = 0; i < observer.password_questions.size() && i < c.answers.size(); ++i)
      EXPECT_EQ(observer.password_questions[i].second, i > 0) << "retry flag of question " << i;
    if (c.tree_complete) {
      EXPECT_EQ(differences(c.archive), std::vector<std::string>{});
    }
    for (const auto& [name, bytes] : testing::snapshot(dest))
      EXPECT_TRUE(c.tree_complete || name.back() == '/' || bytes.empty())
          << "no file from a failed decryption: " << name;
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
  }
}

TEST_F(StubEngine, ExistingFilesFollowThePolicyOrTheAnswers) {
  const fs::path readme = dest / "pack" / "readme.txt";
  const fs::path guide = dest / "pack" / "docs" / "guide.txt";
  struct Case {
    const char* what;
    OverwritePolicy policy;
    std::vector<OverwriteAnswer> answers;
    std::size_t questions;
    bool readme_replaced;
    bool guide_replaced;
  };
  const Case cases[] = {
      {"overwrite all (-y)", OverwritePolicy::kOverwriteAll, {}, 0, true, true},
      {"skip all", OverwritePolicy::kSkipAll, {}, 0, false, false},
      {"ask: skip each", OverwritePolicy::kAsk, {}, 6, false, false},
      {"ask: overwrite all at once",
       OverwritePolicy::kAsk,
       {OverwriteAnswer::kOverwriteAll},
       1,
       true,
       true},
      {"ask: skip all at once",
       OverwritePolicy::kAsk,
       {OverwriteAnswer::kSkipAll},
       1,
       false,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(dest);
    fs::create_directories(dest);
    ASSERT_EQ(extract("deflate.zip").result.exit_code(), ExitCode::kOk);
    for (const auto& path : {readme, guide})
      std::ofstream(path, std::ios::binary | std::ios::trunc) << "changed";
    Options options;
    options.overwrite = c.policy;
    RecordingObserver observer;
    observer.overwrite_answers = c.answers;
    Outcome run = extract("deflate.zip", options, &observer);
    EXPECT_EQ(run.result.exit_code(), ExitCode::kOk);
    EXPECT_EQ(observer.overwrite_questions.size(), c.questions);
    const testing::Bytes changed = {'c', 'h', 'a', 'n', 'g', 'e', 'd'};
    EXPECT_EQ(testing::read_file(readme) != changed, c.readme_replaced);
    EXPECT_EQ(testing::read_file(guide).size() > 7, c.guide_replaced);
    EXPECT_EQ(run.result.skipped.size() + run.result.files, 6u);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
  }
}

TEST_F(StubEngine, CancelStopsPromptlyAndLeavesOnlyWholeFiles) {
  for (std::uint64_t after : {1u, 3u, 8u, 20u}) {
    SCOPED_TRACE(after);
    fs::remove_all(dest);
    fs::create_directories(dest);
    RecordingObserver observer;
    observer.cancel_after_progress = after;
    Outcome run = extract("stored.zip", {}, &observer);
    EXPECT_TRUE(run.result.cancelled);
    EXPECT_EQ(run.result.exit_code(), ExitCode::kCancelled);
    EXPECT_LE(observer.progress_calls, after + 1) << "stopped at the next poll";
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    auto expected = testing::snapshot(data_dir() / "stored.zip.expected");
    for (const auto& [name, bytes] : testing::snapshot(dest))
      EXPECT_EQ(bytes, expected.at(name)) << name << " is incomplete";
  }
}

TEST_F(StubEngine, FreeSpaceIsCheckedBeforeWriting) {
  RecordingObserver observer;
  auto exe = exe_for("deflate.zip");
  const std::uint64_t offset = FindImageEnd(*exe).offset;
  Options options;
  const Listing listing = ListArchive(*exe, offset, options, observer);
  ASSERT_GT(listing.declaredTotal, 0u);

  FolderDestination tight(dest);
  tight.pretend_free_space = listing.declaredTotal - 1;
  ExtractResult refused = ExtractArchive(*exe, offset, &tight, options, observer, &listing);
  EXPECT_EQ(refused.fatal, Fatal::kNotEnoughSpace);
  EXPECT_EQ(refused.exit_code(), ExitCode::kFatal);
  EXPECT_TRUE(fs::is_empty(dest));

  FolderDestination exact(dest);
  exact.pretend_free_space = listing.declaredTotal;
  EXPECT_EQ(ExtractArchive(*exe, offset, &exact, options, observer, &listing).exit_code(),
            ExitCode::kOk);
}

TEST_F(StubEngine, TheDeclaredTotalIsABudgetNeverExceeded) {
  // Whatever the second pass meets, it writes no more than the total the free-space check
  // accepted (here the listing is made to understate it, as a damaged archive could).
  RecordingObserver observer;
  auto exe = exe_for("deflate.zip");
  const std::uint64_t offset = FindImageEnd(*exe).offset;
  Listing listing = ListArchive(*exe, offset, {}, observer);
  listing.declaredTotal -= 1000;
  FolderDestination destination(dest);
  ExtractResult result = ExtractArchive(*exe, offset, &destination, {}, observer, &listing);
  EXPECT_LE(result.bytes, listing.declaredTotal);
  ASSERT_EQ(result.failed.size(), 1u);
  EXPECT_EQ(result.failed[0].problem, Problem::kLargerThanDeclared);
  EXPECT_EQ(result.exit_code(), ExitCode::kFatal);
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

TEST_F(StubEngine, AFullDiskFailsTheFileAndRemovesIt) {
  // Also for a large file written on a second thread, and on one thread alone where no
  // second one could be started.
  testing::StdWorkers two(2);
  testing::SequentialWorkers one_after_the_other;
  struct Case {
    const char* archive;
    Workers* workers;
    std::optional<std::uint64_t> fail_write_after;
    const char* failing;  // null: nothing fails
    std::uint64_t files;
  };
  const Case cases[] = {
      {"deflate.zip", nullptr, 150'000, "pack/data.bin", 5},  // only pack/data.bin is bigger
      {"large.zip", &two, 5'000'000, "big/part.bin", 1},
      {"large.zip", &two, 10'200'000, "big/part.bin", 1},  // in its last block
      {"large.zip", &one_after_the_other, 5'000'000, "big/part.bin", 1},
      {"large.zip", &one_after_the_other, std::nullopt, nullptr, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.archive) + (c.failing ? " failing" : ""));
    fs::remove_all(dest);
    FolderDestination destination(dest);
    destination.fail_write_after = c.fail_write_after;
    Options options;
    options.workers = c.workers;
    RecordingObserver observer;
    Outcome run = extract(c.archive, options, &observer, &destination);
    EXPECT_EQ(run.result.files, c.files);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    if (!c.failing) {
      EXPECT_EQ(run.result.exit_code(), ExitCode::kOk);
      EXPECT_EQ(differences(c.archive), std::vector<std::string>{});
      continue;
    }
    ASSERT_EQ(run.result.failed.size(), 1u);
    EXPECT_EQ(run.result.failed[0].path, c.failing);
    EXPECT_EQ(run.result.failed[0].problem, Problem::kWriteFailed);
    EXPECT_FALSE(fs::exists(dest / c.failing));
  }
}

TEST_F(StubEngine, EveryExtractedFileCarriesTheDownloadMark) {
  const std::string mark = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/pack.exe\r\n";
  struct Case {
    std::optional<std::string> exe_mark;
    std::optional<std::string> file_mark;
    bool keeps_marks = true;  // false: a file system without streams, said once
  };
  const Case cases[] = {
      {mark, mark},
      {std::nullopt, std::nullopt},
      {std::string("\xFF\xFE garbled"), std::string("[ZoneTransfer]\r\nZoneId=3\r\n")},
      {mark, std::nullopt, false},
      {std::nullopt, std::nullopt, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.exe_mark.has_value() << c.keeps_marks);
    fs::remove_all(dest);
    fs::create_directories(dest);
    Options options;
    options.zoneMark = c.exe_mark;
    testing::FolderDestination destination(dest);
    destination.keeps_zone_marks_here = c.keeps_marks;
    Outcome run = extract("bad_crc.zip", options, nullptr, &destination);
    std::size_t lost = 0;
    for (const auto& warning : run.result.warnings)
      lost += warning.problem == Problem::kZoneMarksNotKept;
    EXPECT_EQ(lost, c.exe_mark && !c.keeps_marks ? 1u : 0u);
    std::size_t files = 0;
    for (const auto& [name, bytes] : testing::snapshot(dest)) {
      if (name.find(testing::mark_suffix) != std::string::npos) continue;
      ++files;
      const fs::path mark_file = dest / (name + testing::mark_suffix);
      if (c.file_mark) {
        auto content = testing::read_file(mark_file);
        EXPECT_EQ(std::string(content.begin(), content.end()), *c.file_mark) << name;
      } else {
        EXPECT_FALSE(fs::exists(mark_file)) << name;
      }
    }
    EXPECT_EQ(files, 2u);
    EXPECT_FALSE(fs::exists(dest / (std::string("broken.txt") + testing::mark_suffix)));
  }
}

TEST_F(StubEngine, TestModeChecksEveryEntryAndWritesNothing) {
  for (const char* archive : {"deflate.zip", "solid.7z", "bad_crc.zip"}) {
    SCOPED_TRACE(archive);
    Options options;
    options.testOnly = true;
    RecordingObserver observer;
    auto exe = exe_for(archive);
    ExtractResult result =
        ExtractArchive(*exe, FindImageEnd(*exe).offset, nullptr, options, observer);
    EXPECT_TRUE(fs::is_empty(dest));
    auto expected = testing::snapshot(data_dir() / (std::string(archive) + ".expected"));
    std::size_t good = 0;
    for (const auto& outcome : observer.finished) {
      if (outcome.directory || outcome.problem != Problem::kNone) continue;
      ++good;
      const auto& bytes = expected.at(outcome.path);
      EXPECT_EQ(outcome.size, bytes.size());
      EXPECT_EQ(outcome.crc32, ::crc32(0, bytes.data(), static_cast<uInt>(bytes.size())))
          << outcome.path;
    }
    EXPECT_EQ(good, result.files);
    EXPECT_EQ(result.exit_code(), result.failed.empty() ? ExitCode::kOk : ExitCode::kFatal);
  }
}

TEST_F(StubEngine, ArchiveBeyondFourGigabytes) {
  // The archive starts past 4 GB in the exe: every offset on the way must be 64-bit.
  const std::uint64_t gap = 5ull << 30;
  auto exe = exe_for("solid.7z", gap);
  auto zip = exe_for("zip64.zip", gap);
  for (auto* source : {exe.get(), zip.get()}) {
    fs::remove_all(dest);
    fs::create_directories(dest);
    RecordingObserver observer;
    FolderDestination destination(dest);
    Options options;
    options.nameCharset = testing::gbk_charset;
    ExtractResult result =
        ExtractArchive(*source, source->archive_offset(), &destination, options, observer);
    EXPECT_EQ(result.exit_code(), ExitCode::kOk) << result.fatalDetail;
    EXPECT_EQ(differences(source == exe.get() ? "solid.7z" : "zip64.zip"),
              std::vector<std::string>{});
  }
}

TEST_F(StubEngine, ReadErrorsOfOurOwnFileAreFatal) {
  auto exe = exe_for("deflate.zip");
  const std::uint64_t offset = FindImageEnd(*exe).offset;
  exe->fail_reads = true;
  RecordingObserver observer;
  FolderDestination destination(dest);
  ExtractResult result = ExtractArchive(*exe, offset, &destination, {}, observer);
  EXPECT_EQ(result.fatal, Fatal::kReadError);
  EXPECT_EQ(result.exit_code(), ExitCode::kFatal);
}

TEST_F(StubEngine, NoMoreDecodersAtOnceThanTheAddressSpaceHolds) {
  // However many cores the machine has, only so many runs decode at once that each may hold a
  // decoder at its limit. The threads here take their turn from the last one down, so the
  // first to look for work is one that must find none.
  class Turns final : public Workers {
   public:
    unsigned Count() const override { return 8; }
    void Run(const std::function<void(unsigned)>& job) override {
      for (unsigned i = Count(); i-- > 0;) {
        current = i;
        job(i);
      }
    }
    void lock() override {}
    void unlock() override {}
    void Wait() override { std::abort(); }
    void Wake() override {}
    unsigned current = 0;
  };
  class Decoding final : public RecordingObserver {
   public:
    explicit Decoding(const Turns& turns) : turns_(turns) {}
    void Progress(std::uint64_t, std::uint64_t, const std::string&) override {
      threads.insert(turns_.current);
    }
    std::set<unsigned> threads;

   private:
    const Turns& turns_;
  };
  Turns turns;
  Decoding observer(turns);
  Options options;
  options.workers = &turns;
  extract("runs.zip", options, &observer);
  EXPECT_EQ(differences("runs.zip"), std::vector<std::string>{});
  ASSERT_FALSE(observer.threads.empty());
  EXPECT_LT(*observer.threads.rbegin(), kMaxParallelDecoders);
  EXPECT_LE(kMaxParallelDecoders * kDecoderMemoryLimit, kDecoderMemoryBudget);
}

TEST_F(StubEngine, ThreadsChangeNothingButTheSpeed) {
  // Runs of a zip go to several threads in whatever order they finish: the files, the
  // summary and the exit code must be those of a run on one thread.
  auto reports = [](const std::vector<EntryReport>& list) {
    std::vector<std::pair<std::string, Problem>> out;
    for (const auto& report : list) out.emplace_back(report.path, report.problem);
    return out;
  };
  for (const char* archive :
       {"runs.zip", "many_bad.zip", "hostile.zip", "deflate.zip", "solid.7z", "large.zip"}) {
    SCOPED_TRACE(archive);
    fs::remove_all(sandbox);
    fs::create_directories(dest);
    const Outcome one = extract(archive);  // into `dest`, no workers
    fs::rename(dest, sandbox / "one");
    fs::create_directories(dest);
    testing::StdWorkers workers(3);
    Options options;
    options.workers = &workers;
    RecordingObserver observer;
    const Outcome many = extract(archive, options, &observer);
    EXPECT_EQ(many.result.exit_code(), one.result.exit_code());
    EXPECT_EQ(many.result.fatal, one.result.fatal);
    EXPECT_EQ(many.result.files, one.result.files);
    EXPECT_EQ(many.result.folders, one.result.folders);
    EXPECT_EQ(many.result.bytes, one.result.bytes);
    EXPECT_EQ(reports(many.result.failed), reports(one.result.failed));
    EXPECT_EQ(reports(many.result.refused), reports(one.result.refused));
    EXPECT_EQ(reports(many.result.warnings), reports(one.result.warnings));
    EXPECT_EQ(testing::tree_differences(sandbox / "one", dest), std::vector<std::string>{});
    EXPECT_FALSE(observer.progress_went_back);
    if (fs::exists(data_dir() / (std::string(archive) + ".expected"))) {
      EXPECT_EQ(differences(archive), std::vector<std::string>{});
    }

    // Again over the same files: one question, its "all" answer holds on every thread.
    RecordingObserver asked;
    asked.overwrite_answers = {OverwriteAnswer::kSkipAll};
    const Outcome again = extract(archive, options, &asked);
    EXPECT_EQ(asked.overwrite_questions.size(), one.result.files ? 1u : 0u);
    EXPECT_EQ(again.result.skipped.size(), one.result.files);
    EXPECT_EQ(testing::tree_differences(sandbox / "one", dest), std::vector<std::string>{});
  }
  const std::uint64_t runs_files = expected_files("runs.zip");
  EXPECT_GT(runs_files, 2u * kChunkEntries) << "runs.zip must span several runs";

  // Cancel stops every thread and leaves no half-written file.
  fs::remove_all(dest);
  fs::create_directories(dest);
  testing::StdWorkers workers(3);
  Options options;
  options.workers = &workers;
  RecordingObserver cancelling;
  cancelling.cancel_after_progress = 300;
  const Outcome cancelled = extract("runs.zip", options, &cancelling);
  EXPECT_TRUE(cancelled.result.cancelled);
  EXPECT_EQ(cancelled.result.exit_code(), ExitCode::kCancelled);
  EXPECT_LT(cancelled.result.files, runs_files);
  EXPECT_EQ(leftovers(), std::vector<std::string>{});

  // Cancel in answer to a question about an entry of the second run: whatever one thread
  // would have written before that entry is there too (runs after it stop where they are).
  auto cancel_at_question = [&](Workers* use) {
    fs::remove_all(dest);
    fs::create_directories(dest / "dir03");
    std::ofstream(dest / "dir03" / "file1303.txt") << "old";
    Options ask;
    ask.workers = use;
    RecordingObserver questioned;
    questioned.cancel_at_question = true;
    const Outcome run = extract("runs.zip", ask, &questioned);
    EXPECT_EQ(run.result.exit_code(), ExitCode::kCancelled);
    EXPECT_EQ(questioned.overwrite_questions, std::vector<std::string>{"dir03/file1303.txt"});
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
    return testing::snapshot(dest);
  };
  const auto alone = cancel_at_question(nullptr);
  const auto together = cancel_at_question(&workers);
  EXPECT_GT(alone.size(), 1000u);
  for (const auto& [name, bytes] : alone) {
    const auto found = together.find(name);
    EXPECT_TRUE(found != together.end() && found->second == bytes) << name;
  }
}

TEST_F(StubEngine, EntriesThatMeetOnOneFileAreNeverSplitAcrossThreads) {
  // Which of two entries for one file wins must not depend on timing: such a zip is never cut
  // into runs. Names are compared as Windows does once decoded and checked.
  struct Case {
    const char* archive;
    bool cut;
  };
  const Case cases[] = {
      {"clash_dot.zip", false},           // "d/f.txt", "d/./f.txt"
      {"clash_case.zip", false},          // "Été.txt", "éTÉ.TXT"
      {"clash_unicode_path.zip", false},  // two Unicode path fields, one name
      {"clash_folder.zip", false},        // the file "Docs" and the folder "docs"
      {"clash_short_name.zip", false},    // "LONGFI~1.TXT" may be the other's short name
      {"clash_unknown_case.zip", false},  // a cased script whose folding is not carried
      {"no_clash.zip", true},             // refused names write nothing: no clash
      {"runs.zip", true},
  };
  Options options;
  options.decodeLegacyName = testing::decode_gbk;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    auto exe = exe_for(c.archive);
    EXPECT_EQ(PlanZipChunks(*exe, FindImageEnd(*exe).offset, options).has_value(), c.cut);
  }
}

TEST_F(StubEngine, ZipNamesFollowTheReaderOrderAndSurviveDamage) {
  const testing::Bytes zip = testing::read_file(data_dir() / "zip64.zip");
  testing::MemorySource intact(zip);
  auto names = ReadZipNames(intact, 0);
  ASSERT_TRUE(names);
  RecordingObserver observer;
  EXPECT_EQ(names->size(), ListArchive(intact, 0, {}, observer).entries);
  for (std::size_t i = 1; i < names->size(); ++i)
    EXPECT_LT((*names)[i - 1].localOffset, (*names)[i].localOffset);
  EXPECT_EQ((*names)[0].raw, "pack/");
  EXPECT_EQ((*names)[0].host, 3);

  // Cut anywhere or with a byte changed, it reads or gives up, never past its bounds.
  for (std::size_t cut = 0; cut < zip.size(); cut += 97) {
    testing::MemorySource part(
        testing::Bytes(zip.begin(), zip.begin() + static_cast<std::ptrdiff_t>(cut)));
    auto partial = ReadZipNames(part, 0);
    EXPECT_TRUE(!partial || partial->size() <= names->size());
  }
  std::mt19937 random(7);
  const std::size_t directory = zip.size() - 2000;  // the tail: records, Zip64 and end records
  for (int round = 0; round < 2000; ++round) {
    testing::Bytes damaged = zip;
    damaged[directory + random() % 2000] = static_cast<unsigned char>(random());
    testing::MemorySource source(damaged);
    auto result = ReadZipNames(source, 0);
    EXPECT_TRUE(!result || result->size() <= 2000 / 46);
  }
}

TEST_F(StubEngine, DirectoriesThatDisagreeWithTheDataNeverPassSilently) {
  // Records sharing data (the non-recursive zip bomb) make the archive damaged: nothing is
  // written, and the message names two of them.
  struct Case {
    const char* archive;
    const char* named;
  };
  const Case cases[] = {
      {"shared_header.zip", "'kernel.bin' and 'copy0.bin' share one local header"},
      {"overlapping.zip", "'outer.bin' and 'inner.txt' overlap"},
      // The overlap is there only when each data is measured from its own local header.
      {"local_name_shift.zip", "'first.txt' and 'second.txt' overlap"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    Outcome run = extract(c.archive);
    EXPECT_EQ(run.result.fatal, Fatal::kCorruptArchive) << Describe(run.result.fatal);
    EXPECT_NE(run.result.fatalDetail.find(c.named), std::string::npos) << run.result.fatalDetail;
    EXPECT_EQ(run.result.exit_code(), ExitCode::kFatal);
    EXPECT_TRUE(fs::is_empty(dest));
  }
  // An entry the directory lists but the reading never reaches ends the run in a warning
  // that names it; the rest extracts.
  Outcome run = extract("unreached.zip");
  EXPECT_EQ(differences("unreached.zip"), std::vector<std::string>{});
  EXPECT_EQ(run.result.exit_code(), ExitCode::kWarning);
  ASSERT_EQ(run.result.warnings.size(), 1u);
  EXPECT_EQ(run.result.warnings[0].path, "second.txt");
  EXPECT_EQ(run.result.warnings[0].problem, Problem::kNotReached);
}

TEST_F(StubEngine, DecoderMemoryAskedForByAHeaderIsCheckedFirst) {
  // Dictionaries far beyond what an entry's few bytes can use are refused before liblzma
  // allocates them, and the rest extracts; 32 MiB is an ordinary setting and decodes.
  struct Case {
    const char* archive;
    bool refused;
  };
  const Case cases[] = {
      {"lzma_dictionary_128m.zip", true},
      {"xz_dictionary_128m.zip", true},
      {"lzma_dictionary_flagged.zip", true},
      {"lzma_dictionary_32m.zip", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.archive);
    fs::remove_all(dest);
    fs::create_directories(dest);
    Outcome run = extract(c.archive);
    EXPECT_EQ(differences(c.archive), std::vector<std::string>{});
    if (!c.refused) {
      EXPECT_EQ(run.result.exit_code(), ExitCode::kOk);
      continue;
    }
    EXPECT_EQ(run.result.exit_code(), ExitCode::kFatal);
    ASSERT_EQ(run.result.failed.size(), 1u);
    EXPECT_EQ(run.result.failed[0].path, "big_dictionary.txt");
    EXPECT_EQ(run.result.failed[0].problem, Problem::kUnsupported);
    EXPECT_NE(run.result.failed[0].detail.find("134217728-byte dictionary"), std::string::npos)
        << run.result.failed[0].detail;
  }
  // Fuzzing finds: 2.5 GB asked for an entry of 81 bytes, described by the central directory
  // or not; 1.5 GB asked for by an xz entry's second block; 7z coders' dictionaries, which
  // only liblzma's limit sees. Unsupported and named, never out of memory.
  struct Found {
    const char* archive;
    const char* entry;
    const char* detail;
  };
  const Found finds[] = {
      {"lzma_dictionary_2.5g.zip", nullptr, "2511340701-byte dictionary"},
      {"lzma_dictionary_unpaired.zip", nullptr, "2511340701-byte dictionary"},
      {"xz_second_block_1.5g.zip", "tiny.txt", "decoder asks for 161"},
      {"7z_lzma_dictionary_1.5g.7z", "a.txt", "decoder asks for 161"},
      {"7z_lzma2_dictionary_4g.7z", "a.txt", "decoder asks for 42"},
#ifdef _WIN32
      // libarchive's own allocation: refused where the stub runs. Natively the memory is
      // only promised, never touched, and the entry decodes.
      {"7z_ppmd_memory_3.75g.7z", "model.txt", "decoder asks for 40265"},
#endif
  };
  for (const auto& found_by_fuzzing : finds) {
    SCOPED_TRACE(found_by_fuzzing.archive);
    fs::remove_all(dest);
    fs::create_directories(dest);
    Outcome found = extract(found_by_fuzzing.archive);
    EXPECT_EQ(found.result.exit_code(), ExitCode::kFatal) << Describe(found.result.fatal);
    bool named = false;
    for (const auto& failure : found.result.failed)
      named = named || (failure.problem == Problem::kUnsupported &&
                        (!found_by_fuzzing.entry || failure.path == found_by_fuzzing.entry) &&
                        failure.detail.find(found_by_fuzzing.detail) != std::string::npos);
    EXPECT_TRUE(named) << (found.result.failed.empty() ? "" : found.result.failed[0].detail);
  }
}

TEST_F(StubEngine, ProgressCountsBytesUpToTheDeclaredTotal) {
  RecordingObserver observer;
  Outcome run = extract("solid.7z", {}, &observer);
  EXPECT_FALSE(observer.progress_went_back);
  EXPECT_EQ(observer.last_total, run.listing.declaredTotal);
  EXPECT_EQ(observer.last_done, run.listing.declaredTotal);
}

}  // namespace
}  // namespace kzsfx
