#include "base/code_pages.hpp"
#include "recording/bldx_encoder.hpp"
#include "recording/recording_header.hpp"
#include "recording/recording_image.hpp"
#include "support/run_process.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fstream>

using vibrolan::test::runProcess;
using vibrolan::test::TempDir;
using namespace vibrolan;

namespace {

// 3 channels; channel 1 (tacho) every 10th record; ticks step 40000 (1 ms at
// 40 MHz) starting close to the counter wrap.
std::vector<TIndex> records(std::size_t n)
{
    std::vector<TIndex> r;
    std::uint32_t t = 4294967295u - 200000;
    for (std::size_t i = 0; i < n; ++i) {
        r.push_back({static_cast<std::uint8_t>(i % 10 == 0 ? 0 : 1 + i % 2), 0, t});
        t += 40000;
    }
    return r;
}

RecordingHeader header()
{
    RecordingHeader h;
    h.RecorderCode = 1200;
    h.RecordDate = 43831.5;
    h.channels = {{1, 0, utf8ToCp1251("Оборот"), 4}, {2, 0, "", 0}, {3, 0, "P", 1}};
    return h;
}

void writeBytes(const std::filesystem::path &p, const std::vector<std::uint8_t> &b)
{
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}

bool has(const std::string &out, const std::string &line) { return out.find(line) != std::string::npos; }

} // namespace

TEST(CliInfo, PlainRecording)
{
    TempDir dir;
    writeRecordingFile(dir / "run.bld", header(), records(1000));
    const auto r = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "run.bld").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto &o = r.out;
    EXPECT_TRUE(has(o, "recorder code: 1200\n")) << o;
    EXPECT_TRUE(has(o, "tick period: 2.5e-08 s\n")) << o;
    EXPECT_TRUE(has(o, "channels: 3\n")) << o;
    EXPECT_TRUE(has(o, "channel 1: name \"Оборот\", attribute 0, sensor type 4 (srTaho)\n")) << o;
    EXPECT_TRUE(has(o, "channel 2: name \"no_name\"")) << o;
    EXPECT_TRUE(has(o, "records: 1000\n")) << o;
    EXPECT_TRUE(has(o, "  channel 1: 100\n  channel 2: 400\n  channel 3: 500\n")) << o;
    EXPECT_TRUE(has(o, "first tick: 4294767295\n")) << o;
    EXPECT_TRUE(has(
        o, "last tick: " + std::to_string(static_cast<std::uint32_t>(4294767295u + 999u * 40000u)) + "\n"))
        << o;
    EXPECT_TRUE(has(o, "duration: 0.999000 s\n")) << o; // across the counter wrap
}

TEST(CliInfo, CompressedRecordingWithDamagedBlock)
{
    TempDir dir;
    const auto h = buildRecordingHeader(header());
    auto packed = compressRecords(h, records(1000), {400}); // blocks of 400, 400, 200
    writeBytes(dir / "run.bldx", packed);
    auto r = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "run.bldx").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "records: 1000\n")) << r.out;
    EXPECT_TRUE(has(r.out, "blocks: 3 (records per block 200 ... 400)\n")) << r.out;
    EXPECT_TRUE(has(r.out, "damaged blocks: 0\n")) << r.out;
    EXPECT_TRUE(has(r.out, "duration: 0.999000 s\n")) << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;

    // Cut the file inside its last block: the first two blocks are still described.
    packed.resize(packed.size() - 10);
    writeBytes(dir / "cut.bldx", packed);
    r = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "cut.bldx").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "records: 800\n")) << r.out;
    EXPECT_TRUE(has(r.out, "damaged blocks: 1 (the file ends inside a block)\n")) << r.out;
    EXPECT_TRUE(has(r.err, "файл поврежден: распаковка не состоялась")) << r.err;
}

TEST(CliInfo, HeaderlessAndBadInput)
{
    TempDir dir;
    std::vector<std::uint8_t> bare(5 * 6 + 3);
    for (std::uint32_t i = 0; i < 5; ++i)
        storeRecord(bare.data() + 6 * i, TIndex{7, 0, 1000 + 4000000 * i});
    writeBytes(dir / "bare.BLD", bare);
    auto r = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "bare.BLD").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "header: none")) << r.out;
    EXPECT_TRUE(has(r.out, "records: 5\n")) << r.out;
    EXPECT_TRUE(has(r.out, "  channel 8: 5\n")) << r.out;
    EXPECT_TRUE(has(r.out, "duration: 0.400000 s\n")) << r.out;

    writeBytes(dir / "trunc.bld", {'R', 'e', 'c', 'B', 'l', 'd', 24, 0, 0, 0, 0, 0, 5});
    r = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "trunc.bld").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "trunc.bld")) << r.err;

    r = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "missing.bld").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "cannot open")) << r.err;

    r = runProcess(VIBROLAN_CLI_PATH, {"info", (dir / "x.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "unknown file kind")) << r.err;
    EXPECT_EQ(runProcess(VIBROLAN_CLI_PATH, {"info"}).status, 2);
}
