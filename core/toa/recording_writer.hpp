// A pulse recording written as a stream: the header laid out by the
// recording room's writer, then the 6-byte records, all into a temporary
// file beside the target that replaces it only on commit().
#pragma once

#include "output/safe_file.hpp"
#include "recording/recording_header.hpp"
#include "recording/tindex.hpp"

#include <filesystem>
#include <vector>

namespace vibrolan::toa {

class RecordingWriter {
public:
    // Throws FileError when the target is read-only or cannot be created.
    RecordingWriter(const std::filesystem::path &target, const RecordingHeader &header);
    void push(std::uint8_t channel0, std::uint32_t ticks)
    {
        TIndex r;
        r.WCh(channel0);
        r.Ticks = ticks;
        buffer_.push_back(r);
        if (buffer_.size() == kBuffer)
            flush();
        ++records_;
    }
    void commit();
    std::uint64_t records() const { return records_; }

private:
    static constexpr std::size_t kBuffer = 1u << 16;
    void flush();
    datafiles::FileReplacement file_;
    std::vector<TIndex> buffer_;
    std::uint64_t records_ = 0;
};

// The counter's value `ticks` after the start (to the nearest, halves up),
// wrapped to 32 bits as the recorder's free-running counter wraps.
inline std::uint32_t counterAt(double ticks, std::uint32_t start)
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ticks + 0.5) + start);
}

} // namespace vibrolan::toa
