// Memory stays flat however large the archive: a 96 MB entry goes through fixed buffers.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>

#include "stub/core/engine.h"
#include "stub/core/pe_image.h"
#include "stub_test_support.h"

namespace kzsfx {
namespace {

namespace fs = std::filesystem;

long peak_rss_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(StubMemory, PeakMemoryDoesNotGrowWithTheArchive)
{
    const fs::path dir = fs::temp_directory_path() / ("kzsfx-memory-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    const std::string script =
        "import zipfile, os\n"
        "with zipfile.ZipFile('" + (dir / "big.zip").string() + "', 'w', zipfile.ZIP_STORED) as z:\n"
        "    with z.open('big.bin', 'w', force_zip64=True) as f:\n"
        "        for i in range(96): f.write(os.urandom(1 << 20))\n"
        "    z.writestr('small.txt', b'small')\n";
    const std::string command = "python3 -c \"" + script + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);

    const long before = peak_rss_kib();
    testing::SplicedSource exe(testing::make_pe_head(), 0, dir / "big.zip");
    testing::FolderDestination destination(dir / "out");
    testing::RecordingObserver observer;
    ExtractResult result = extract_archive(exe, find_image_end(exe).offset, &destination, {}, observer);
    const long growth_kib = peak_rss_kib() - before;

    EXPECT_EQ(result.exit_code(), ExitCode::ok) << result.fatal_detail;
    EXPECT_EQ(fs::file_size(dir / "out" / "big.bin"), 96u << 20);
    EXPECT_LT(growth_kib, 16 * 1024) << "peak memory grew by " << growth_kib << " KiB";
    fs::remove_all(dir);
}

} // namespace
} // namespace kzsfx
