#include "base/errors.hpp"
#include "recording/opening_channels.hpp"
#include "recording/recording_image.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;

namespace {

// A bare pulse stream: records only, no header.
std::vector<std::uint8_t> headerless(const std::vector<int> &channels)
{
    std::vector<std::uint8_t> image(channels.size() * sizeof(TIndex));
    std::uint32_t tick = 100;
    for (std::size_t i = 0; i < channels.size(); ++i) {
        TIndex r;
        r.WCh(static_cast<std::uint8_t>(channels[i]));
        r.Ticks = tick += 50;
        storeRecord(image.data() + i * sizeof(TIndex), r);
    }
    return image;
}

} // namespace

TEST(OpeningChannels, HeaderDescriptorsGiveLabelsAndFirstRecord)
{
    RecordingHeader h;
    h.hasSignature = true;
    h.RecorderCode = 1200;
    h.channels = {{3, 0, "", 1}, {7, 0, "tip", 2}, {260, 0, "x", 4}};
    const std::vector<TIndex> records(4);
    const auto image = recordingBytes(h, records);
    const OpeningChannels c = ChannelsForOpening(image);
    ASSERT_TRUE(c.fromHeader);
    EXPECT_EQ(c.firstRecord, readRecordingHeader(image).HeadLength / 6);
    ASSERT_EQ(c.descriptors.size(), 3u);
    EXPECT_EQ(c.descriptors[0].nameUtf8(), "no_name");
    // Channel numbers are taken modulo 256, as the dialog's labels hold them.
    EXPECT_EQ(c.labels, (std::vector<std::string>{"Канал - 3", "Канал - 7", "Канал - 4"}));
}

TEST(OpeningChannels, HeaderlessScanStopsAtTheFirstChannelAgain)
{
    struct Case {
        std::vector<int> channels;
        std::vector<std::string> labels;
    } cases[] = {
        {{2, 5, 5, 7, 2, 9}, {"Канал - 3", "Канал - 6", "Канал - 8"}},
        {{4}, {"Канал - 5"}},
        {{1, 1, 2}, {"Канал - 2"}},
        {{0, 63, 10}, {"Канал - 1", "Канал - 64", "Канал - 11"}}, // runs to the end
        {{}, {}},
    };
    for (const Case &c : cases) {
        const OpeningChannels got = ChannelsForOpening(headerless(c.channels));
        EXPECT_FALSE(got.fromHeader);
        EXPECT_EQ(got.firstRecord, 0u);
        EXPECT_EQ(got.labels, c.labels) << c.channels.size() << " records";
    }
    // A tail shorter than a record is no record.
    auto image = headerless({2});
    image.resize(5);
    EXPECT_TRUE(ChannelsForOpening(image).labels.empty());
}

TEST(OpeningChannels, TruncatedHeaderIsAFormatError)
{
    RecordingHeader h;
    h.hasSignature = true;
    h.channels = {{1, 0, "root", 0}, {2, 0, "tip", 1}};
    auto image = recordingBytes(h, {});
    image.resize(12);
    EXPECT_THROW(ChannelsForOpening(image, "cut.bld"), FormatError);
}
