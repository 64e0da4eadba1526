#include "sim/output_file.hpp"

#include "base/errors.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
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
            EXPECT_FALSE(std::filesystem::exists(folder / "out.bin.part"));
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
    EXPECT_FALSE(std::filesystem::exists(dir / "rec.bld.part"));
    EXPECT_THROW(sim::OutputFile(dir / "no-such-folder" / "x.bld", 4096, sim::OutputFile::Cache::Bypass),
                 vibrolan::FileError);
}
