#include "recording/recording_info.hpp"

#include "base/plain_number.hpp"
#include "base/terminal_text.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/recording_image.hpp"

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace vibrolan {

namespace {

const char *sensorTypeName(std::uint16_t t)
{
    static const char *names[] = {"srRoot",     "srPeak",     "srInEdge", "srOutEdge", "srTaho",
                                  "srRoot_cap", "srPeak_cap", "srUTS",    "srIRIG_B"};
    return t < 9 ? names[t] : "unknown";
}

std::string fixed(double v, int decimals) { return PlainFixed(v, decimals); }

void summarise(const RecordingImage &image, RecordingInfo &info)
{
    info.imageBytes = image.bytes().size();
    info.header = image.header();
    info.firstRecord = image.firstRecord();
    info.records = image.recordCount();
    const std::uint64_t end = image.slotCount();
    for (std::uint64_t k = info.firstRecord; k < end; ++k) {
        const TIndex r = image.recordUnchecked(k);
        ++info.pulsesPerChannel[r.RCh()];
        if (k == info.firstRecord)
            info.firstTick = r.Ticks;
        else
            info.spanTicks += Diff(r.Ticks, info.lastTick); // follows counter wraps
        info.lastTick = r.Ticks;
    }
    info.durationSeconds = static_cast<double>(info.spanTicks) * image.tickPeriod();
}

} // namespace

RecordingInfo inspectRecording(const std::filesystem::path &file, bool compressed, MessageSink &sink)
{
    RecordingInfo info;
    info.file = file;
    info.compressed = compressed;
    if (!compressed) {
        summarise(RecordingImage::mapFile(file), info);
        return info;
    }
    UnpackResult unpacked = UnpackRecording(file, sink);
    BldxUnpackSummary s;
    s.fileBytes = std::filesystem::file_size(file);
    s.blocks = unpacked.blocks.size();
    s.failedBlocks = unpacked.failedBlocks();
    s.truncated = unpacked.truncated;
    s.decodedRecords = unpacked.decodedRecords();
    for (std::size_t i = 0; i < unpacked.blocks.size(); ++i) {
        const auto n = unpacked.blocks[i].records;
        s.minBlockRecords = i == 0 ? n : std::min(s.minBlockRecords, n);
        s.maxBlockRecords = std::max(s.maxBlockRecords, n);
    }
    summarise(RecordingImage::fromBytes(std::move(unpacked.image), file), info);
    info.unpacking = s;
    return info;
}

std::string formatRecordingInfo(const RecordingInfo &info)
{
    std::ostringstream os;
    os.imbue(std::locale::classic());
    const auto &h = info.header;
    os << "file: " << info.file.string() << "\n";
    os << "kind: " << (info.compressed ? "compressed recording (.bldx)" : "recording (.bld)") << "\n";
    if (h.hasSignature) {
        os << "header length: " << h.HeadLength << "\n";
        if (!h.headLengthCoversFields())
            os << "warning: the header fields end at byte " << h.fieldsEnd << ", past the header length\n";
        os << "recorder code: " << h.RecorderCode << "\n";
        os << "record date: " << fixed(h.RecordDate, 6) << "\n";
        os << "head tail: " << h.HeadTail << "\n";
        os << "channels: " << h.ChannelCount << "\n";
        for (const auto &d : h.channels)
            os << "  channel " << d.ChanNo << ": name \"" << EscapeControls(d.nameUtf8()) << "\", attribute "
               << int(d.ChanAttr) << ", sensor type " << d.ChanSensorType << " ("
               << sensorTypeName(d.ChanSensorType) << ")\n";
    } else {
        os << "header: none (pulse records from byte 0)\n";
    }
    os << "tick period: " << PlainGeneral(h.tickPeriod()) << " s\n";
    os << "first record: " << info.firstRecord << "\n";
    os << "records: " << info.records << "\n";
    os << "pulses per channel:\n";
    for (std::size_t ch = 0; ch < info.pulsesPerChannel.size(); ++ch)
        if (info.pulsesPerChannel[ch] != 0)
            os << "  channel " << ch + 1 << ": " << info.pulsesPerChannel[ch] << "\n";
    if (info.records > 0) {
        os << "first tick: " << info.firstTick << "\n";
        os << "last tick: " << info.lastTick << "\n";
        os << "duration: " << fixed(info.durationSeconds, 6) << " s\n";
    }
    if (info.unpacking) {
        const auto &u = *info.unpacking;
        os << "compressed size: " << u.fileBytes << " bytes\n";
        os << "blocks: " << u.blocks << " (records per block " << u.minBlockRecords << " ... "
           << u.maxBlockRecords << ")\n";
        os << "damaged blocks: " << u.failedBlocks << (u.truncated ? " (the file ends inside a block)" : "")
           << "\n";
        os << "decoded records: " << u.decodedRecords << "\n";
        os << "unpacked size: " << info.imageBytes << " bytes\n";
    }
    return os.str();
}

} // namespace vibrolan
