// The recording header: what it holds, how every reader reads it (in a fixed
// order of THeadel peeks) and how a writer lays it out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

struct ChannelDescriptor {
    std::uint16_t ChanNo = 0;         // 1-based channel number
    std::uint8_t ChanAttr = 0;        // carried, not interpreted
    std::string ChanName;             // raw 8-bit characters (CP1251)
    std::uint16_t ChanSensorType = 0; // ordinal of the sensor type

    // The name as UTF-8 ("no_name" is the display text of an empty one).
    std::string nameUtf8() const;
};

// Tick period of the recorder's counter: 1.25e-8 s for code 1280, else 2.5e-8 s.
double TickPeriodForRecorder(std::uint16_t recorderCode);
inline constexpr double kDefaultTickPeriod = 2.5e-8;

struct RecordingHeader {
    bool hasSignature = false; // without it the file is a bare pulse stream
    std::uint32_t HeadLength = 0;
    std::uint16_t RecorderCode = 0;
    std::uint16_t ChannelCount = 0;
    std::vector<ChannelDescriptor> channels;
    double RecordDate = 0; // days from 1899-12-30, fraction = time of day
    std::uint16_t HeadTail = 0;
    std::uint32_t fieldsEnd = 0; // offset just past HeadTail as read

    // First pulse record slot: HeadLength div 6, or 0 without header.
    std::uint32_t firstRecord() const { return hasSignature ? HeadLength / 6 : 0; }
    double tickPeriod() const
    {
        return hasSignature ? TickPeriodForRecorder(RecorderCode) : kDefaultTickPeriod;
    }
    // Revolutions per minute times the revolution length in ticks.
    double speedFactor() const { return 60.0 / tickPeriod(); }
    // False when the fields run past HeadLength (they are read anyway).
    bool headLengthCoversFields() const { return !hasSignature || fieldsEnd <= HeadLength; }
};

// Reads the header of a whole-file image in the fixed order (signature,
// HeadLength, RecorderCode, ChannelCount, per descriptor word/byte/string/word,
// RecordDate, HeadTail). An image without signature gives hasSignature false.
// Throws FormatError (naming `file`) when the fields run past the image or
// HeadLength exceeds the image.
RecordingHeader readRecordingHeader(std::span<const std::uint8_t> image,
                                    const std::filesystem::path &file = {});

// Lays out a header with the given recorder code, channels, date and tail,
// padded with zeros to a multiple of 6 bytes; HeadLength is that padded size
// and ChannelCount the number of channels. Throws ValueError for more than
// 65535 channels or a name of 256 bytes or more.
std::vector<std::uint8_t> buildRecordingHeader(const RecordingHeader &header);

} // namespace vibrolan
