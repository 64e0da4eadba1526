#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "recording/headel.hpp"
#include "recording/recording_header.hpp"
#include "recording/recording_image.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

using namespace vibrolan;
using vibrolan::test::TempDir;

namespace {

std::vector<std::uint8_t> bytesOf(std::initializer_list<int> list)
{
    std::vector<std::uint8_t> v;
    for (int b : list)
        v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

void writeRaw(const std::filesystem::path &p, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
}

} // namespace

TEST(RecordingHeader, DefaultHeaderThenRecords)
{
    THeadel h = THeadel::CreateDefault();
    EXPECT_EQ(h.fSize(), 24u);
    EXPECT_EQ(h.Cur(), 0u);
    auto image = std::vector<std::uint8_t>(h.bytes().begin(), h.bytes().end());
    ASSERT_EQ(image.size(), 24u);
    const TIndex recs[2] = {{3, 0, 1000}, {4, 1, 2000}};
    for (const auto &r : recs) {
        image.resize(image.size() + 6);
        storeRecord(image.data() + image.size() - 6, r);
    }
    auto img = RecordingImage::fromBytes(image);
    const auto &hd = img.header();
    EXPECT_TRUE(hd.hasSignature);
    EXPECT_EQ(hd.HeadLength, 24u);
    EXPECT_EQ(hd.RecorderCode, 666);
    EXPECT_EQ(hd.ChannelCount, 0);
    EXPECT_EQ(hd.RecordDate, 100.0);
    EXPECT_EQ(img.firstRecord(), 4u);
    EXPECT_EQ(img.recordCount(), 2u);
    EXPECT_DOUBLE_EQ(img.tickPeriod(), 2.5e-8);
    EXPECT_EQ(img.record(4), recs[0]);
    EXPECT_EQ(img.record(5), recs[1]);
    EXPECT_THROW(img.record(6), ValueError);
}

TEST(RecordingHeader, TickPeriodByRecorderCode)
{
    EXPECT_DOUBLE_EQ(TickPeriodForRecorder(1280), 1.25e-8);
    for (std::uint16_t code : {1200, 2070, 666, 0, 65535})
        EXPECT_DOUBLE_EQ(TickPeriodForRecorder(code), 2.5e-8) << code;
    RecordingHeader h;
    h.hasSignature = true;
    h.RecorderCode = 1280;
    EXPECT_DOUBLE_EQ(h.speedFactor(), 60.0 / 1.25e-8);
}

TEST(RecordingHeader, DescriptorsAreReadWordByteStringWord)
{
    // Hand-laid bytes so that the reading order, not our writer, is checked.
    auto image = bytesOf({'R',  'e',  'c',  'B', 'l',  'd',  48,   0,    0,
                          0,    0x00, 0x05, 3,   0,                            // HeadLength 48, code 1280
                          0x01, 0x02, 0x11, 1,   'A',  0x04, 0x00,             // ch 513, attr 17, "A", type 4
                          0x07, 0x00, 0x22, 3,   0xCA, 'x',  'y',  0x08, 0x00, // ch 7, "Кxy", type 8
                          0x02, 0x00, 0x00, 0,   0x00, 0x00});                 // ch 2, "", type 0
    const double date = 45000.25;
    image.resize(image.size() + 8);
    std::memcpy(image.data() + image.size() - 8, &date, 8);
    image.push_back(0x34);
    image.push_back(0x12);
    image.resize(48, 0xEE); // padding is never read
    const auto h = readRecordingHeader(image);
    EXPECT_EQ(h.RecorderCode, 1280);
    ASSERT_EQ(h.channels.size(), 3u);
    EXPECT_EQ(h.channels[0].ChanNo, 513);
    EXPECT_EQ(h.channels[0].ChanAttr, 0x11);
    EXPECT_EQ(h.channels[0].ChanName, "A");
    EXPECT_EQ(h.channels[0].ChanSensorType, 4);
    EXPECT_EQ(h.channels[1].ChanNo, 7);
    EXPECT_EQ(h.channels[1].nameUtf8(), "Кxy");
    EXPECT_EQ(h.channels[1].ChanSensorType, 8);
    EXPECT_EQ(h.channels[2].ChanName, "");
    EXPECT_EQ(h.channels[2].nameUtf8(), "no_name");
    EXPECT_EQ(h.RecordDate, date);
    EXPECT_EQ(h.HeadTail, 0x1234);
    EXPECT_EQ(h.fieldsEnd, 46u);
    EXPECT_EQ(h.firstRecord(), 8u);
    EXPECT_TRUE(h.headLengthCoversFields());
}

TEST(RecordingHeader, WriterRoundTripAndLimits)
{
    RecordingHeader h;
    h.RecorderCode = 2070;
    h.RecordDate = 43831.5;
    h.HeadTail = 9;
    h.channels = {{1, 0, utf8ToCp1251("Корень"), 0}, {2, 5, "", 4}};
    const auto bytes = buildRecordingHeader(h);
    EXPECT_EQ(bytes.size() % 6, 0u);
    const auto back = readRecordingHeader(bytes);
    EXPECT_EQ(back.HeadLength, bytes.size());
    EXPECT_EQ(back.ChannelCount, 2);
    EXPECT_EQ(back.channels[0].nameUtf8(), "Корень");
    EXPECT_EQ(back.channels[1].ChanAttr, 5);
    EXPECT_EQ(back.RecordDate, 43831.5);
    EXPECT_EQ(back.HeadTail, 9);

    THeadel w(300);
    EXPECT_THROW(w.PokeString(std::string(256, 'x')), ValueError);
    EXPECT_EQ(w.Cur(), 0u); // nothing written, cursor unmoved
    EXPECT_EQ(w.PokeString(std::string(255, 'x')), 256);
}

TEST(RecordingHeader, CallerBufferOutlivesReader)
{
    auto buffer =
        std::make_unique<std::vector<std::uint8_t>>(bytesOf({'R', 'e', 'c', 'B', 'l', 'd', 24, 0, 0, 0}));
    {
        THeadel reader(10); // owns a buffer, released by SetHead
        reader.SetHead(static_cast<const void *>(buffer->data()), buffer->size());
        EXPECT_FALSE(reader.ownsBuffer());
        std::uint32_t len = 0;
        char c;
        for (int i = 0; i < 6; ++i)
            reader.PeekChar(c);
        EXPECT_EQ(reader.PeekLongWord(len), 10);
        EXPECT_EQ(len, 24u);
        EXPECT_THROW(reader.PokeByte(1), ValueError);          // read-only view
        reader.SetHead(static_cast<const void *>(nullptr), 0); // nil changes nothing
        EXPECT_EQ(reader.Cur(), 10u);
    }
    EXPECT_EQ((*buffer)[6], 24); // still valid and unchanged after the reader is gone
}

TEST(RecordingHeader, HeaderlessFileStartsAtSlotZero)
{
    const TIndex recs[3] = {{2, 0, 10}, {5, 0, 20}, {2, 0, 30}};
    std::vector<std::uint8_t> bytes(18 + 4); // plus a partial tail that is no record
    for (int i = 0; i < 3; ++i)
        storeRecord(bytes.data() + 6 * i, recs[i]);
    auto img = RecordingImage::fromBytes(bytes);
    EXPECT_FALSE(img.header().hasSignature);
    EXPECT_EQ(img.firstRecord(), 0u);
    EXPECT_EQ(img.recordCount(), 3u);
    EXPECT_DOUBLE_EQ(img.tickPeriod(), 2.5e-8);
    EXPECT_EQ(img.record(0), recs[0]);
    EXPECT_EQ(img.passEnd(0), 3u);
    EXPECT_EQ(img.passEnd(1), 0u); // 3 - 6 would underflow: an empty pass instead

    EXPECT_FALSE(RecordingImage::fromBytes(bytesOf({'R', 'e', 'c'})).header().hasSignature);
}

TEST(RecordingHeader, MalformedHeadersAreRefused)
{
    auto base =
        bytesOf({'R', 'e', 'c', 'B', 'l', 'd', 24, 0, 0, 0, 0x9A, 0x02, 1, 0, 1, 0, 0, 200, 'a', 'b'});
    // A descriptor name that runs past the end.
    EXPECT_THROW(readRecordingHeader(base), FormatError);
    // A channel count far beyond what the file holds.
    auto many = bytesOf({'R', 'e', 'c', 'B', 'l', 'd', 24, 0, 0, 0, 0, 0, 0xFF, 0xFF});
    EXPECT_THROW(readRecordingHeader(many), FormatError);
    // Truncated inside the fixed fields.
    EXPECT_THROW(readRecordingHeader(bytesOf({'R', 'e', 'c', 'B', 'l', 'd', 24})), FormatError);
    // A header length beyond the file.
    THeadel h = THeadel::CreateDefault();
    std::vector<std::uint8_t> img(h.bytes().begin(), h.bytes().end());
    img[6] = 200;
    try {
        RecordingImage::fromBytes(img, "x.bld");
        FAIL() << "no error";
    } catch (const FormatError &e) {
        EXPECT_NE(std::string(e.what()).find("x.bld"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("exceeds the file size"), std::string::npos) << e.what();
    }
    // A HeadLength shorter than the fields is read anyway; records start at HeadLength div 6.
    img[6] = 12;
    auto shortLen = RecordingImage::fromBytes(img);
    EXPECT_EQ(shortLen.firstRecord(), 2u);
    EXPECT_FALSE(shortLen.header().headLengthCoversFields());
}

TEST(RecordingImageFile, MapsLoadsAndWrites)
{
    TempDir dir;
    RecordingHeader h;
    h.RecorderCode = 1280;
    h.channels = {{3, 0, "T", 4}};
    std::vector<TIndex> recs;
    for (std::uint32_t i = 0; i < 100; ++i)
        recs.push_back({static_cast<std::uint8_t>(i % 3), 0, i * 1000u});
    writeRecordingFile(dir / "a.bld", h, recs);

    auto img = RecordingImage::mapFile(dir / "a.bld");
    EXPECT_EQ(img.recordCount(), 100u);
    EXPECT_DOUBLE_EQ(img.tickPeriod(), 1.25e-8);
    EXPECT_EQ(img.record(img.firstRecord() + 99), recs[99]);
    EXPECT_EQ(img.passEnd(2), img.slotCount() - 12);

    std::uint32_t size = 0;
    auto whole = LoadFileToMemory(dir / "a.bld", size);
    ASSERT_TRUE(whole.has_value());
    EXPECT_EQ(size, img.bytes().size());
    EXPECT_TRUE(std::equal(whole->begin(), whole->end(), img.bytes().begin()));
    size = 10;
    auto part = LoadFileToMemory(dir / "a.bld", size);
    ASSERT_TRUE(part.has_value());
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(part->size(), 10u);
    EXPECT_FALSE(LoadFileToMemory(dir / "missing.bld", size).has_value());

    EXPECT_THROW(RecordingImage::mapFile(dir / "missing.bld"), FileError);
    writeRaw(dir / "empty.bld", {});
    EXPECT_EQ(RecordingImage::mapFile(dir / "empty.bld").recordCount(), 0u);
}
