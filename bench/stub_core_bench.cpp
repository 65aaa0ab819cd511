// Times the self-extractor core on one archive: listing, then extraction into a folder (or a
// CRC check with -t). Prints MB/s of decoded data. Usage: stub_core_bench [-t] ARCHIVE DEST
#include <clocale>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <string>

#include "stub/core/extraction.h"
#include "stub/core/listing.h"
#include "tests/native/stub_test_support.h"

namespace {

// <chrono> does not build with the GBK execution charset; timespec_get does the same here.
double now() {
  std::timespec ts{};
  std::timespec_get(&ts, TIME_UTC);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C.UTF-8");
  const bool test_only = argc > 1 && std::strcmp(argv[1], "-t") == 0;
  if (argc != 3 + test_only) {
    std::fprintf(stderr, "usage: stub_core_bench [-t] ARCHIVE DEST\n");
    return 7;
  }
  kzsfx::testing::SplicedSource exe({}, 0, argv[1 + test_only]);
  kzsfx::testing::FolderDestination destination(argv[2 + test_only]);
  kzsfx::testing::RecordingObserver observer;
  kzsfx::Options options;
  options.testOnly = test_only;
  options.overwrite = kzsfx::OverwritePolicy::kOverwriteAll;
  options.nameCharset = "GBK";

  const double start = now();
  const kzsfx::Listing listing = kzsfx::ListArchive(exe, 0, options, observer);
  const double listed = now();
  const kzsfx::ExtractResult result =
      kzsfx::ExtractArchive(exe, 0, &destination, options, observer, &listing);
  const double done = now();

  const double list_s = listed - start;
  const double total_s = done - start;
  std::printf("%s: %llu files, %.1f MB, listing %.3f s, total %.3f s, %.1f MB/s, exit %d\n",
              argv[1 + test_only], static_cast<unsigned long long>(result.files),
              result.bytes / 1e6, list_s, total_s, result.bytes / 1e6 / total_s,
              static_cast<int>(result.exit_code()));
  return static_cast<int>(result.exit_code());
}
