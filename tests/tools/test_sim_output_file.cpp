#include "sim/output_file.hpp"

#include "base/errors.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using vibrolan::test::TempDir;
namespace sim = vibrolan::sim;

namespace {

std::string readAll(const std::filesystem::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A folder in memory where the machine has one (tmpfs: on older kernels it
// refuses direct transfers), removed afterwards; empty path otherwise.
struct MemoryDir {
    std::filesystem::path path;
    explicit MemoryDir(const TempDir &like)
    {
        std::error_code ec;
        if (!std::filesystem::is_directory("/dev/shm", ec))
            return;
        const auto p = std::filesystem::path("/dev/shm") / like.path().filename();
        if (std::filesystem::create_directories(p, ec) && !ec)
            path = p;
    }
    MemoryDir(const MemoryDir &) = delete;
    MemoryDir &operator=(const MemoryDir &) = delete;
    ~MemoryDir()
    {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
};

} // namespace

TEST(SimulatorOutputFile, EveryWayOfWritingGivesTheSameBytes)
{
    TempDir dir;
    const MemoryDir memory(dir);
    std::vector<std::filesystem::path> places{dir.path()};
    if (!memory.path.empty())
        places.push_back(memory.path);
    // Pieces smaller and larger than the 8 KiB buffer, ending off a page boundary.
    std::string expected;
    std::vector<std::string> pieces;
    unsigned v = 1;
    for (std::size_t n : {1u, 4095u, 4097u, 0u, 3u * 8192u + 7u, 12345u, 8192u, 5u}) {
        std::string piece(n, '\0');
        for (char &c : piece)
            c = static_cast<char>((v = v * 1103515245u + 12345u) >> 24);
        expected += piece;
        pieces.push_back(std::move(piece));
    }
    for (const auto &folder : places)
        for (const auto cache : {sim::OutputFile::Cache::Use, sim::OutputFile::Cache::Bypass}) {
            SCOPED_TRACE(folder.string() + (cache == sim::OutputFile::Cache::Use ? " cached" : " direct"));
            const auto file = folder / "out.bin";
            {
                sim::OutputFile out(file, 8192, cache);
                for (const auto &p : pieces)
                    out.write(p);
                EXPECT_EQ(out.bytesWritten(), expected.size());
                out.commit();
            }
            EXPECT_EQ(readAll(file), expected);
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1)
                << "a temporary is left";
        }
}

TEST(SimulatorOutputFile, AnUnfinishedFileLeavesTheOldOneAndNoTrace)
{
    TempDir dir;
    const auto file = dir / "rec.bld";
    std::ofstream(file) << "old contents";
    {
        // Several blocks handed to the writer, then given up (an error elsewhere).
        sim::OutputFile out(file, 4096, sim::OutputFile::Cache::Bypass);
        const std::string block(4096, 'x');
        for (int i = 0; i < 5; ++i)
            out.write(block);
    }
    EXPECT_EQ(readAll(file), "old contents");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1) << "a temporary is left";
    EXPECT_THROW(sim::OutputFile(dir / "no-such-folder" / "x.bld", 4096, sim::OutputFile::Cache::Bypass),
                 vibrolan::FileError);
}

namespace {

// A file system that opens a file for direct transfers and then refuses the
// first one (EINVAL); the writer thread's later writes are slowed down so
// that any write of another thread in the meantime shows.
struct RefusingWrites {
    static inline std::atomic<int> inFlight{0}, mostInFlight{0}, calls{0};
    static inline std::atomic<bool> slowWriteStarted{false};
    static inline std::thread::id mainThread;

    static ssize_t write(int fd, const void *data, std::size_t n)
    {
        const int now = ++inFlight;
        for (int m = mostInFlight; now > m && !mostInFlight.compare_exchange_weak(m, now);)
            ;
        ssize_t r;
        if (std::this_thread::get_id() != mainThread && calls++ == 0) {
            errno = EINVAL;
            r = -1;
        } else {
            if (std::this_thread::get_id() != mainThread) {
                slowWriteStarted = true;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
            r = ::write(fd, data, n);
        }
        --inFlight;
        return r;
    }
};

} // namespace

TEST(SimulatorOutputFile, AfterTheWriterTurnsDirectTransfersOffOneThreadWritesAtATime)
{
    TempDir dir;
    const auto file = dir / "rec.bld";
    RefusingWrites::mainThread = std::this_thread::get_id();
    sim::testing::setWriteCall(&RefusingWrites::write);
    std::string expected;
    {
        sim::OutputFile out(file, 4096, sim::OutputFile::Cache::Bypass);
        // The first block fills the buffer; the second (one byte short) hands it over.
        const std::string first(4096, 'a'), second(4095, 'b'), rest(100, 'c');
        out.write(first);
        out.write(second); // hands the first block to the writer: refused, it goes on through the cache
        for (int i = 0; i < 500 && !RefusingWrites::slowWriteStarted; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        out.write(rest); // hands the second block over: must wait for the writer's slow write
        out.commit();
        expected = first + second + rest;
    }
    sim::testing::setWriteCall(nullptr);
    if (!RefusingWrites::slowWriteStarted)
        GTEST_SKIP() << "this file system refuses direct transfers at open";
    EXPECT_EQ(RefusingWrites::mostInFlight, 1);
    EXPECT_TRUE(readAll(file) == expected) << "the blocks are out of order";
    // Nothing but the finished file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}
