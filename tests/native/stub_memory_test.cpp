// Memory stays flat however large the archive: a 96 MB entry goes through fixed buffers, and
// counts an archive claims reserve little.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include "stub/core/extraction.h"
#include "stub/core/pe_image.h"
#include "stub/core/zip_names.h"
#include "tests/native/stub_test_support.h"

// The largest single allocation asked for, whether or not it could be had. Every form of new
// and delete that is not aligned is replaced, so that each pair is malloc and free.
static std::atomic<std::size_t> largest_allocation{0};

static void* allocate(std::size_t size) noexcept {
  for (std::size_t seen = largest_allocation;
       size > seen && !largest_allocation.compare_exchange_weak(seen, size);) {
  }
  return std::malloc(size ? size : 1);
}

void* operator new(std::size_t size) {
  if (void* block = allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
// gcc cannot tell from here that the pairs are malloc and free.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace kzsfx {
namespace {

namespace fs = std::filesystem;

long peak_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(StubMemory, PeakMemoryDoesNotGrowWithTheArchive) {
  const fs::path dir = fs::temp_directory_path() / ("kzsfx-memory-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "out");
  const std::string script =
      "import zipfile, os\n"
      "with zipfile.ZipFile('" +
      (dir / "big.zip").string() +
      "', 'w', zipfile.ZIP_STORED) as z:\n"
      "    with z.open('big.bin', 'w', force_zip64=True) as f:\n"
      "        for i in range(96): f.write(os.urandom(1 << 20))\n"
      "    z.writestr('small.txt', b'small')\n";
  const std::string command = "python3 -c \"" + script + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0);

  const long before = peak_rss_kib();
  testing::SplicedSource exe(testing::make_pe_head(), 0, dir / "big.zip");
  testing::FolderDestination destination(dir / "out");
  testing::RecordingObserver observer;
  ExtractResult result = ExtractArchive(exe, FindImageEnd(exe).offset, &destination, {}, observer);
  const long growth_kib = peak_rss_kib() - before;

  EXPECT_EQ(result.exit_code(), ExitCode::kOk) << result.fatalDetail;
  EXPECT_EQ(fs::file_size(dir / "out" / "big.bin"), 96u << 20);
  EXPECT_LT(growth_kib, 16 * 1024) << "peak memory grew by " << growth_kib << " KiB";
  fs::remove_all(dir);
}

TEST(StubMemory, CountsTheArchiveClaimsReserveLittle) {
  // A Zip64 end record claims a 3 GB central directory of 70 million records, over zeros
  // that were never stored: reading it may reserve buffers, never room for that count.
  const std::uint64_t gap = 3ull << 30;
  std::string tail;
  auto put = [&](std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) tail += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  tail += "PK\6\6";
  put(44, 8), put(45, 2), put(45, 2), put(0, 4), put(0, 4);
  put(gap / 46, 8), put(gap / 46, 8), put(gap, 8), put(0, 8);
  tail += "PK\6\7";
  put(0, 4), put(gap, 8), put(1, 4);
  tail += "PK\5\6";
  put(0, 2), put(0, 2), put(0xFFFF, 2), put(0xFFFF, 2), put(0xFFFFFFFF, 4), put(0xFFFFFFFF, 4),
      put(0, 2);
  const fs::path file = fs::temp_directory_path() / ("kzsfx-claims-" + std::to_string(::getpid()));
  std::ofstream(file, std::ios::binary) << tail;

  testing::SplicedSource source({}, gap, file);
  largest_allocation = 0;
  EXPECT_FALSE(ReadZipNames(source, 0)) << "zeros are no directory records";
  EXPECT_LT(largest_allocation.load(), std::size_t{1} << 20);
  fs::remove(file);
}

}  // namespace
}  // namespace kzsfx
