// The core as a command: extracts ARCHIVE (a zip or 7z, or our exe with one appended) into
// DEST with one thread per core, as the stub does. bench/run times it against other tools.
// Usage: bench_extract [-j THREADS] ARCHIVE DEST (THREADS 0 or absent: one per core)
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/posix_files.h"
#include "tests/native/std_workers.h"
#include "stub/core/extraction.h"
#include "stub/core/pe_image.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C.UTF-8");
  // With TZ unset glibc stats /etc/localtime on every mktime, and libarchive converts each
  // zip entry's DOS time twice with it: four system calls per file for nothing.
  if (!std::getenv("TZ")) ::setenv("TZ", ":/etc/localtime", 1);
  unsigned threads = 0;
  int arg = 1;
  if (argc > 2 && std::strcmp(argv[1], "-j") == 0) {
    threads = static_cast<unsigned>(std::atoi(argv[2]));
    arg = 3;
  }
  if (argc != arg + 2) {
    std::fprintf(stderr, "usage: bench_extract [-j THREADS] ARCHIVE DEST\n");
    return 7;
  }
  kzsfx::bench::PosixSource source(argv[arg]);
  kzsfx::bench::PosixDestination destination(argv[arg + 1]);
  if (!source.ok() || !destination.ok()) {
    std::perror(!source.ok() ? argv[arg] : argv[arg + 1]);
    return 2;
  }
  kzsfx::testing::StdWorkers workers(threads);
  kzsfx::Observer observer;
  kzsfx::Options options;
  options.overwrite = kzsfx::OverwritePolicy::kOverwriteAll;
  options.nameCharset = "GBK";
  options.workers = &workers;
  const kzsfx::ImageEnd end = kzsfx::FindImageEnd(source);
  const std::uint64_t offset = end.ok ? end.offset : 0;
  const kzsfx::ExtractResult result =
      kzsfx::ExtractArchive(source, offset, &destination, options, observer);
  std::fprintf(stderr, "%llu files, %llu folders, %.1f MB, %zu failed, exit %d %s\n",
               static_cast<unsigned long long>(result.files),
               static_cast<unsigned long long>(result.folders), result.bytes / 1e6,
               result.failed.size(), static_cast<int>(result.exit_code()),
               result.fatalDetail.c_str());
  return static_cast<int>(result.exit_code());
}
