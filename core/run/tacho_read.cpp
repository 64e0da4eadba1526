#include "run/tacho_read.hpp"

#include "base/errors.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/recording_image.hpp"
#include "recording/recording_kind.hpp"

#include <algorithm>

namespace vibrolan {

namespace {

RecordingImage openRecording(const std::filesystem::path &file, MessageSink &sink)
{
    if (IsCompressedRecordingName(file))
        return RecordingImage::fromBytes(UnpackRecording(file, sink).image, file);
    return RecordingImage::mapFile(file);
}

} // namespace

void TachoRead(const TCfgDfm &cfg, std::size_t s, std::uint32_t &count, const TPassProgress &progress,
               std::vector<float> &times, std::vector<float> &speeds, MessageSink &sink)
{
    if (s >= kMaxStages)
        throw ValueError("stage " + std::to_string(s + 1) + " is beyond the five stages");
    const TStage &st = cfg.Stages[s];
    if (st.TachoComb.sensNumber >= kMaxSensors)
        throw ValueError("stage \"" + st.NameStage + "\": the tacho sensor is beyond the sensor table");
    const RecordingImage image = openRecording(cfg.FileName, sink);
    const std::int64_t N = static_cast<std::int64_t>(image.slotCount());
    const double tickPeriod = image.tickPeriod();
    const double speedFactor = image.speedFactor();
    const std::uint8_t c = cfg.Sensors[st.TachoComb.sensNumber].Chan;

    auto ensure = [&](std::size_t need) {
        if (times.size() < need)
            times.resize(need);
        if (speeds.size() < need)
            speeds.resize(need);
    };
    ensure(static_cast<std::size_t>(count) + 1024);

    std::int64_t r0 = static_cast<std::int64_t>(image.firstRecord());
    while (r0 < N && image.recordUnchecked(static_cast<std::uint64_t>(r0)).RCh() != c)
        ++r0;
    if (r0 >= N)
        return; // no tacho pulse: no origin, no curve
    const std::uint32_t origin = image.recordUnchecked(static_cast<std::uint64_t>(r0)).Ticks;
    std::uint32_t prevTicks = origin;
    int k = 0;
    float time = 0;
    double wrap = 0;
    for (std::int64_t r = r0 + 1; r < N; ++r) {
        const TIndex rec = image.recordUnchecked(static_cast<std::uint64_t>(r));
        if (rec.RCh() != c)
            continue;
        if (cfg.RunTahoByBlade) {
            ++k;
            if (k != st.CountBlade)
                continue;
            k = 0;
        }
        bool backward = false;
        const std::uint32_t period = CardDiff(rec.Ticks, prevTicks, backward);
        // A pulse that does not follow its predecessor has no speed and would
        // pass for a counter wrap in the time below.
        if (backward || period == 0)
            continue;
        const float speed = static_cast<float>(speedFactor / period);
        if (rec.Ticks < prevTicks) {
            wrap += 4294967295.0;
            time = static_cast<float>(time + (4294967295.0 - prevTicks + rec.Ticks) * tickPeriod);
        } else {
            time = static_cast<float>((rec.Ticks + wrap - origin) * tickPeriod);
        }
        if (cfg.Range._From <= time && time <= cfg.Range._To) {
            if (count >= kMaxTachoPoints)
                break;
            speeds[count] = speed;
            times[count] = time;
            ++count;
        } else if (time > cfg.Range._To) {
            break;
        }
        prevTicks = rec.Ticks;
        if (progress)
            progress(N - 1, r, time, speed, 0);
        if (count % 1024 == 0)
            ensure(static_cast<std::size_t>(count) + 1024);
    }
}

std::vector<TTachoCurve> TachoReadAll(const TCfgDfm &cfg, const TPassProgress &progress, MessageSink &sink)
{
    std::vector<TTachoCurve> curves;
    for (std::size_t s = 0; s < std::min<std::size_t>(cfg.CountStage, kMaxStages); ++s) {
        TTachoCurve c;
        c.TachoTime.resize(1024);
        c.TachoSpeed.resize(1024);
        TachoRead(cfg, s, c.RevCount, progress, c.TachoTime, c.TachoSpeed, sink);
        c.TachoTime.resize(c.RevCount);
        c.TachoSpeed.resize(c.RevCount);
        curves.push_back(std::move(c));
    }
    return curves;
}

} // namespace vibrolan
