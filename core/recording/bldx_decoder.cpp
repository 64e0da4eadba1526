#include "recording/bldx_decoder.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/parallel_for.hpp"
#include "recording/channel_dictionary.hpp"

#include <algorithm>
#include <cstring>

namespace vibrolan {

namespace {

std::uint32_t readU32(const std::uint8_t *p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::uint16_t readU16(const std::uint8_t *p)
{
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

void showDamaged(MessageSink &sink, const std::string &details = {})
{
    sink.show(Message{kDamagedCaption,
                      details.empty() ? std::string(kDamagedText) : std::string(kDamagedText) + details,
                      Buttons::Ok, Severity::Error});
}

bool decodeChannels(std::span<const std::uint8_t> lane, std::uint8_t *out, std::size_t n)
{
    constexpr std::size_t kLit = ChannelDictionary::kWindow;
    if (lane.size() < kLit || n < kLit)
        return false;
    for (std::size_t i = 0; i < kLit; ++i)
        out[6 * i] = lane[i];
    ChannelDictionary dict;
    dict.reset(lane.data());
    std::size_t produced = kLit;
    for (std::size_t c = kLit; c < lane.size(); ++c) {
        const int code = lane[c];
        const int len = dict.length(code);
        if (produced + static_cast<std::size_t>(len) > n)
            return false;
        for (int j = 0; j < len; ++j) {
            const std::uint8_t s = dict.symbol(code, j);
            dict.produce(s);
            out[6 * produced++] = s;
        }
    }
    return produced == n;
}

bool expandMarkers(std::span<const std::uint8_t> lane, std::uint8_t *out, std::size_t n)
{
    std::size_t at = 0;
    for (std::size_t p = 0; p + 1 < lane.size(); p += 2) {
        const std::uint8_t value = lane[p];
        const std::size_t run = lane[p + 1];
        if (run > n - at)
            return false;
        for (std::size_t r = 0; r < run; ++r)
            out[6 * at++ + 1] = value;
    }
    return at == n;
}

bool expandHighTicks(std::span<const std::uint8_t> lane, std::uint8_t *out, std::size_t n)
{
    std::size_t at = 0;
    for (std::size_t p = 0; p + 3 < lane.size(); p += 4) {
        const std::uint8_t lo = lane[p], hi = lane[p + 1];
        const std::size_t run = readU16(lane.data() + p + 2);
        if (run > n - at)
            return false;
        for (std::size_t r = 0; r < run; ++r, ++at) {
            out[6 * at + 4] = lo;
            out[6 * at + 5] = hi;
        }
    }
    return at == n;
}

} // namespace

std::optional<BldxBlockView> parseBldxBlock(std::span<const std::uint8_t> data)
{
    BldxBlockView v;
    std::span<const std::uint8_t> *lanes[4] = {&v.low, &v.marker, &v.channel, &v.high};
    std::size_t pos = 0;
    for (auto *lane : lanes) {
        if (data.size() - pos < 4)
            return std::nullopt;
        const std::uint32_t k = readU32(data.data() + pos);
        pos += 4;
        if (k > data.size() - pos)
            return std::nullopt;
        *lane = data.subspan(pos, k);
        pos += k;
    }
    v.byteSize = pos;
    return v;
}

bool decodeBldxBlock(const BldxBlockView &block, std::uint8_t *out)
{
    const std::size_t n = block.records();
    if (!decodeChannels(block.channel, out, n) || !expandMarkers(block.marker, out, n) ||
        !expandHighTicks(block.high, out, n))
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        out[6 * i + 2] = block.low[2 * i];
        out[6 * i + 3] = block.low[2 * i + 1];
    }
    return true;
}

std::int64_t DecodeBlock(std::vector<std::uint8_t> &Block, MessageSink &sink)
{
    const auto view = parseBldxBlock(Block);
    if (view) {
        std::vector<std::uint8_t> records(6 * view->records());
        if (decodeBldxBlock(*view, records.data())) {
            Block = std::move(records);
            return static_cast<std::int64_t>(Block.size());
        }
    }
    showDamaged(sink);
    return -1;
}

std::size_t UnpackResult::failedBlocks() const
{
    std::size_t n = 0;
    for (const auto &b : blocks)
        n += b.ok ? 0 : 1;
    return n + (truncated ? 1 : 0);
}

std::uint64_t UnpackResult::decodedRecords() const
{
    std::uint64_t n = 0;
    for (const auto &b : blocks)
        n += b.ok ? b.records : 0;
    return n;
}

UnpackResult unpackRecordingImage(std::span<const std::uint8_t> file, MessageSink &sink,
                                  const ProgressFn &progress, const std::filesystem::path &name)
{
    if (file.size() < 10)
        throw FormatError(name,
                          "too short for a compressed recording (" + std::to_string(file.size()) + " bytes)");
    UnpackResult result;
    result.headLength = readU32(file.data() + 6);
    if (result.headLength > file.size())
        throw FormatError(name, "the header length " + std::to_string(result.headLength) +
                                    " exceeds the file size " + std::to_string(file.size()));

    // First pass over the block lengths only: the image is allocated once,
    // and its size is bounded by what the file holds (6 bytes per 2-byte word).
    std::vector<BldxBlockView> views;
    std::size_t total = result.headLength;
    for (std::size_t pos = result.headLength; pos < file.size();) {
        const auto view = parseBldxBlock(file.subspan(pos));
        if (!view) {
            result.truncated = true;
            break;
        }
        views.push_back(*view);
        total += 6 * view->records();
        pos += view->byteSize;
    }
    // The blocks are independent: they are decoded on every core, each into
    // its place in the image; the messages and the progress follow in block
    // order, and the records of damaged blocks are closed up afterwards.
    result.image.resize(total);
    std::copy(file.begin(), file.begin() + result.headLength, result.image.begin());
    std::vector<std::size_t> at(views.size());
    std::size_t next = result.headLength;
    for (std::size_t i = 0; i < views.size(); ++i) {
        at[i] = next;
        next += 6 * views[i].records();
    }
    std::vector<char> ok(views.size(), 0);
    std::size_t pos = result.headLength;
    ParallelFor(
        views.size(), 0,
        [&](std::size_t i) { ok[i] = decodeBldxBlock(views[i], result.image.data() + at[i]); },
        [&](std::size_t i) {
            if (!ok[i])
                showDamaged(sink, ": " + name.string() + ", block " + std::to_string(i + 1) + " at byte " +
                                      std::to_string(pos) + ", " + std::to_string(views[i].records()) +
                                      " records lost; the other blocks are read");
            result.blocks.push_back({views[i].records(), ok[i] != 0});
            pos += views[i].byteSize;
            reportProgress(progress, static_cast<std::int64_t>(pos), static_cast<std::int64_t>(file.size()));
        });
    std::size_t kept = result.headLength;
    for (std::size_t i = 0; i < views.size(); ++i) {
        const std::size_t bytes = 6 * views[i].records();
        if (!ok[i])
            continue;
        if (kept != at[i])
            std::memmove(result.image.data() + kept, result.image.data() + at[i], bytes);
        kept += bytes;
    }
    result.image.resize(kept);
    if (result.truncated) {
        showDamaged(sink, ": " + name.string() + " ends inside block " +
                              std::to_string(result.blocks.size() + 1) + " at byte " + std::to_string(pos) +
                              "; its last " + std::to_string(file.size() - pos) +
                              " bytes are lost (the file is truncated)");
        reportProgress(progress, static_cast<std::int64_t>(file.size()),
                       static_cast<std::int64_t>(file.size()));
    }
    return result;
}

UnpackResult UnpackRecording(const std::filesystem::path &FileName, MessageSink &sink,
                             const ProgressFn &Progress)
{
    const std::vector<std::uint8_t> file = readWholeFile(FileName);
    return unpackRecordingImage(file, sink, Progress, FileName);
}

} // namespace vibrolan
