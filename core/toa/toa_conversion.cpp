#include "toa/toa_conversion.hpp"

#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "base/message_sink.hpp"
#include "output/safe_file.hpp"
#include "recording/recording_header.hpp"
#include "toa/recording_writer.hpp"
#include "toa/starter_config.hpp"

#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <set>
#include <thread>

namespace vibrolan::toa {

namespace {

constexpr int kMaxRecordingChannels = 64; // the record keeps the channel in 6 bits

std::string number(double v, int precision = 6)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
    return std::string(buf, r.ptr);
}

std::string levelText(const Level &l) { return number(l.value) + (l.percent ? "%" : "V"); }

struct BlockStats {
    float lo = std::numeric_limits<float>::infinity();
    float hi = -std::numeric_limits<float>::infinity();
    bool finite = true;
};

// Range and finiteness of a block in one vectorised pass.
BlockStats blockStats(const float *p, std::size_t n)
{
    float lo = std::numeric_limits<float>::infinity(), hi = -lo;
    int bad = 0;
#pragma omp simd reduction(min : lo) reduction(max : hi) reduction(| : bad)
    for (std::size_t i = 0; i < n; ++i) {
        const float v = p[i];
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
        bad |= (v - v == 0.0F) ? 0 : 1; // NaN and infinities
    }
    return {lo, hi, bad == 0};
}

std::uint64_t firstNonFinite(const float *v, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        if (!std::isfinite(v[i]))
            return i;
    return n;
}

// One signal channel.
struct SignalPlan {
    std::string name;
    std::filesystem::path file;
    double sign = 1; // y = sign * x
    Edge edge = Edge::Rising;
    std::vector<int> recordings;
    // First pass (or the trigger pass when there is none).
    double lo = std::numeric_limits<double>::infinity(), hi = -std::numeric_limits<double>::infinity();
    std::vector<float> subsample; // for the baseline
    std::string error;
};

// One recording channel: a signal channel at one threshold.
struct RecordingPlan {
    std::string name;
    int signal = 0;
    Level threshold;
    std::optional<Level> hysteresis;
    std::optional<double> fraction;
    TTypeSensor sensor = TTypeSensor::srPeak;
    TriggerLevels levels;
    std::optional<ChannelTrigger> trigger;
    std::vector<Arrival> pending;
    // Summary while writing.
    std::uint64_t pulses = 0;
    double peakMin = std::numeric_limits<double>::infinity(), peakMax = -peakMin;
    double lastTime = -1, usual = 0;
    std::uint64_t gaps = 0;
    double widestGap = 0, widestGapAt = 0;
};

class Converter {
public:
    explicit Converter(const ToaOptions &o) : o_(o) {}
    ToaResult run();

private:
    void plan(const SignalInfo &info);
    void firstPass(SignalSource &src);
    void setLevels();
    void triggerPass(SignalSource &src, RecordingWriter &writer);
    void flush(RecordingWriter &writer, double horizon);
    template <typename F> void forChannels(F &&f);
    int findRecording(const std::string &name) const;

    const ToaOptions &o_;
    std::vector<SignalPlan> signals_;
    std::vector<RecordingPlan> recs_;
    double rate_ = 0, tickPeriod_ = 2.5e-8;
    std::uint64_t frames_ = 0;
    std::int64_t margin_ = 0;
    std::size_t blockFrames_ = 0;
    int passes_ = 1;
    std::int64_t progressDone_ = 0;
    std::unique_ptr<tbb::task_arena> arena_;
    std::vector<std::pair<double, int>> merged_;
};

template <typename F> void Converter::forChannels(F &&f)
{
    arena_->execute([&] {
        tbb::parallel_for(
            std::size_t{0}, signals_.size(), [&](std::size_t c) { f(c); }, tbb::simple_partitioner());
    });
}

int Converter::findRecording(const std::string &name) const
{
    for (std::size_t i = 0; i < recs_.size(); ++i)
        if (recs_[i].name == name)
            return static_cast<int>(i);
    std::string known;
    for (const auto &r : recs_)
        known += (known.empty() ? "" : ", ") + r.name;
    throw ValueError("no channel named \"" + name + "\" (channels: " + known + ")");
}

void Converter::plan(const SignalInfo &info)
{
    rate_ = info.rate;
    frames_ = info.frames;
    if (frames_ < 4)
        throw FormatError(info.channels.front().file, "the signal holds fewer than 4 samples per channel");
    if (!o_.names.empty() && o_.names.size() != info.channels.size())
        throw ValueError("--names lists " + std::to_string(o_.names.size()) + " names for " +
                         std::to_string(info.channels.size()) + " channels");
    std::set<std::string> seen;
    for (std::size_t c = 0; c < info.channels.size(); ++c) {
        SignalPlan s;
        s.file = info.channels[c].file;
        s.name = o_.names.empty() ? info.channels[c].name : o_.names[c];
        if (seen.count(s.name) != 0)
            s.name = s.file.stem().string() + ":" + s.name;
        if (!seen.insert(s.name).second)
            throw ValueError("two channels are named \"" + s.name + "\"; give names with --names");
        signals_.push_back(std::move(s));
    }
    for (const auto &[name, rule] : o_.rules)
        if (seen.count(name) == 0)
            throw ValueError("an option names channel \"" + name + "\", which the signals do not have");

    // The tacho: by name, else by 1-based number.
    int tacho = 0;
    if (!o_.tacho.empty()) {
        tacho = -1;
        for (std::size_t c = 0; c < signals_.size(); ++c)
            if (signals_[c].name == o_.tacho)
                tacho = static_cast<int>(c);
        int n = 0;
        const auto r = std::from_chars(o_.tacho.data(), o_.tacho.data() + o_.tacho.size(), n);
        if (tacho < 0 && r.ec == std::errc() && r.ptr == o_.tacho.data() + o_.tacho.size() && n >= 1 &&
            n <= static_cast<int>(signals_.size()))
            tacho = n - 1;
        if (tacho < 0)
            throw ValueError("the tacho channel \"" + o_.tacho + "\" is none of the signals' channels");
    }

    for (std::size_t c = 0; c < signals_.size(); ++c) {
        SignalPlan &s = signals_[c];
        const auto it = o_.rules.find(s.name);
        const ChannelRule *rule = it != o_.rules.end() ? &it->second : nullptr;
        s.edge = rule && rule->edge ? *rule->edge : o_.edge;
        s.sign = s.edge == Edge::Rising ? 1.0 : -1.0;
        const std::optional<double> fraction = rule && rule->fraction ? rule->fraction : o_.fraction;
        if (fraction && !(*fraction > 0 && *fraction < 1))
            throw ValueError("the constant fraction must lie between 0 and 1");
        std::vector<Level> thresholds = rule && !rule->thresholds.empty() ? rule->thresholds : o_.thresholds;
        if (thresholds.empty())
            thresholds.push_back({fraction ? 20.0 : 50.0, true});
        for (const Level &t : thresholds) {
            RecordingPlan r;
            r.signal = static_cast<int>(c);
            r.name = thresholds.size() == 1 ? s.name : s.name + ":" + levelText(t);
            r.threshold = t;
            r.hysteresis = rule && rule->hysteresis ? rule->hysteresis : o_.hysteresis;
            r.fraction = fraction;
            r.sensor = static_cast<int>(c) == tacho ? TTypeSensor::srTaho : TTypeSensor::srPeak;
            if (rule && rule->sensor)
                r.sensor = *rule->sensor;
            if (t.percent && !(t.value >= 0 && t.value <= 100))
                throw ValueError("a threshold in percent must lie between 0 and 100");
            if (r.hysteresis && !(r.hysteresis->value >= 0))
                throw ValueError("the hysteresis must not be negative");
            s.recordings.push_back(static_cast<int>(recs_.size()));
            recs_.push_back(std::move(r));
        }
        if (recs_.size() > static_cast<std::size_t>(kMaxRecordingChannels))
            throw ValueError("a recording holds at most " + std::to_string(kMaxRecordingChannels) +
                             " channels");
    }
    for (const auto &[root, tip] : o_.pairs) {
        RecordingPlan &r = recs_[static_cast<std::size_t>(findRecording(root))];
        findRecording(tip);
        if (!o_.rules.count(signals_[static_cast<std::size_t>(r.signal)].name) ||
            !o_.rules.at(signals_[static_cast<std::size_t>(r.signal)].name).sensor)
            r.sensor = TTypeSensor::srRoot;
    }

    // Passes: a first one for levels relative to the range, the hysteresis
    // default and the constant fraction's baseline.
    bool needRange = false;
    for (const RecordingPlan &r : recs_)
        needRange = needRange || r.threshold.percent || !r.hysteresis || r.hysteresis->percent || r.fraction;
    passes_ = needRange ? 2 : 1;
    if (!(o_.maxWidthS > 0) || !(o_.minSpacingS >= 0))
        throw ValueError("the pulse width and spacing must be positive");
    const double width = std::clamp(o_.maxWidthS * rate_, 4.0, 1.0 * (1 << 22));
    margin_ = static_cast<std::int64_t>(width) + 4;
    // Blocks well longer than the history each keeps: the history is copied
    // forward once per block.
    blockFrames_ = std::max(std::max<std::size_t>(o_.blockFrames, 1), 4 * static_cast<std::size_t>(margin_));
    for (RecordingPlan &r : recs_) {
        r.levels.maxWidth = static_cast<std::int64_t>(width);
        r.levels.minSpacing = static_cast<std::int64_t>(std::llround(std::min(o_.minSpacingS * rate_, 1e15)));
        r.levels.interpolation = o_.interpolation;
        r.levels.fraction = r.fraction;
    }
}

void Converter::firstPass(SignalSource &src)
{
    // Every k-th sample (about 2^18 per channel) gives the baseline, the
    // median of the signal: the pulses take a small part of the time.
    const std::uint64_t every = std::max<std::uint64_t>(1, frames_ >> 18);
    std::vector<std::vector<float>> block(signals_.size(), std::vector<float>(blockFrames_));
    std::uint64_t done = 0;
    while (const std::size_t n = src.fetch(blockFrames_)) {
        forChannels([&](std::size_t c) {
            SignalPlan &s = signals_[c];
            std::vector<float> &v = block[c];
            src.convert(c, v.data());
            const BlockStats st = blockStats(v.data(), n);
            if (!st.finite && s.error.empty())
                s.error = "sample " + std::to_string(done + firstNonFinite(v.data(), n)) + " is not a number";
            s.lo = std::min<double>(s.lo, st.lo);
            s.hi = std::max<double>(s.hi, st.hi);
            for (std::uint64_t i = (every - done % every) % every; i < n; i += every)
                s.subsample.push_back(v[i]);
        });
        for (const SignalPlan &s : signals_)
            if (!s.error.empty())
                throw FormatError(s.file, "channel " + s.name + ": " + s.error);
        done += n;
        progressDone_ += static_cast<std::int64_t>(n);
        reportProgress(o_.progress, progressDone_, static_cast<std::int64_t>(frames_) * passes_);
    }
    if (done != frames_)
        throw FormatError(signals_.front().file, "the signal ends early");
}

void Converter::setLevels()
{
    for (RecordingPlan &r : recs_) {
        SignalPlan &s = signals_[static_cast<std::size_t>(r.signal)];
        TriggerLevels &t = r.levels;
        if (passes_ == 2) {
            const double yMin = s.sign > 0 ? s.lo : -s.hi, yMax = s.sign > 0 ? s.hi : -s.lo;
            const double range = yMax - yMin;
            if (!(range > 1e-9 * std::max(std::fabs(s.lo), std::fabs(s.hi))) || range == 0)
                throw FormatError(s.file,
                                  "channel " + s.name + " is silent: every sample is " + number(s.lo) + " V");
            t.level =
                r.threshold.percent ? yMin + r.threshold.value / 100 * range : s.sign * r.threshold.value;
            const Level h = r.hysteresis.value_or(Level{10, true});
            t.rearm = t.level - (h.percent ? h.value / 100 * range : h.value);
            if (r.fraction) {
                auto &sub = s.subsample;
                std::nth_element(sub.begin(), sub.begin() + static_cast<std::ptrdiff_t>(sub.size() / 2),
                                 sub.end());
                t.baseline = s.sign * sub[sub.size() / 2];
            }
        } else {
            t.level = s.sign * r.threshold.value;
            t.rearm = t.level - r.hysteresis->value;
        }
        r.trigger.emplace(t);
    }
}

void Converter::flush(RecordingWriter &writer, double horizon)
{
    merged_.clear();
    for (std::size_t k = 0; k < recs_.size(); ++k) {
        RecordingPlan &r = recs_[k];
        const auto ready = std::partition_point(r.pending.begin(), r.pending.end(),
                                                [&](const Arrival &a) { return a.time < horizon; });
        const double sign = signals_[static_cast<std::size_t>(r.signal)].sign;
        for (auto it = r.pending.begin(); it != ready; ++it) {
            merged_.emplace_back(it->time, static_cast<int>(k));
            const double peak = sign * it->peak;
            r.peakMin = std::min(r.peakMin, peak);
            r.peakMax = std::max(r.peakMax, peak);
            if (r.lastTime >= 0) {
                const double dt = it->time - r.lastTime;
                if (r.usual > 0 && dt > 1.8 * r.usual) {
                    ++r.gaps;
                    if (dt > r.widestGap) {
                        r.widestGap = dt;
                        r.widestGapAt = r.lastTime;
                    }
                } else {
                    r.usual = r.usual > 0 ? 0.9 * r.usual + 0.1 * dt : dt;
                }
            }
            r.lastTime = it->time;
            ++r.pulses;
        }
        r.pending.erase(r.pending.begin(), ready);
    }
    // Time order; at equal times the channel order.
    std::sort(merged_.begin(), merged_.end());
    const double ticksPerSample = 1.0 / (rate_ * tickPeriod_);
    for (const auto &[time, k] : merged_) {
        if (o_.onPulse)
            o_.onPulse(k, time / rate_);
        writer.push(static_cast<std::uint8_t>(k), counterAt(time * ticksPerSample, o_.startTicks));
    }
}

void Converter::triggerPass(SignalSource &src, RecordingWriter &writer)
{
    std::vector<SampleWindow> windows(signals_.size(), SampleWindow(margin_));
    std::uint64_t done = 0;
    std::int64_t settled = 0;
    const bool rangeKnown = passes_ == 2;
    for (;;) {
        const std::size_t n = src.fetch(blockFrames_);
        if (n == 0 && done != frames_)
            throw FormatError(signals_.front().file, "the signal ends early");
        const bool last = done + n == frames_;
        std::int64_t to = 0;
        forChannels([&](std::size_t c) {
            SignalPlan &s = signals_[c];
            SampleWindow &w = windows[c];
            // The samples go straight behind the window's history.
            float *v = w.extend(settled, n);
            if (n > 0)
                src.convert(c, v);
            if (!rangeKnown) {
                const BlockStats st = blockStats(v, n);
                if (!st.finite && s.error.empty())
                    s.error = "sample " + std::to_string(done + firstNonFinite(v, n)) + " is not a number";
                s.lo = std::min<double>(s.lo, st.lo);
                s.hi = std::max<double>(s.hi, st.hi);
            }
            if (s.sign < 0) // the trigger sees y = -x: a falling edge rises
                for (std::size_t i = 0; i < n; ++i)
                    v[i] = -v[i];
            const std::int64_t end = last ? w.end() : std::max(settled, w.end() - margin_);
            for (int k : s.recordings)
                recs_[static_cast<std::size_t>(k)].trigger->process(
                    w, end, recs_[static_cast<std::size_t>(k)].pending);
        });
        for (const SignalPlan &s : signals_)
            if (!s.error.empty())
                throw FormatError(s.file, "channel " + s.name + ": " + s.error);
        to = last ? windows.front().end() : std::max(settled, windows.front().end() - margin_);
        settled = std::max<std::int64_t>(settled, to);
        flush(writer, last ? std::numeric_limits<double>::infinity() : static_cast<double>(to - margin_));
        done += n;
        progressDone_ += static_cast<std::int64_t>(n);
        reportProgress(o_.progress, progressDone_, static_cast<std::int64_t>(frames_) * passes_);
        if (last)
            break;
    }
}

double modificationDay(const std::filesystem::path &file)
{
    std::error_code ec;
    const auto t = std::filesystem::last_write_time(file, ec);
    if (ec)
        return 0;
    const auto sys = std::chrono::file_clock::to_sys(t);
    const double s = std::chrono::duration<double>(sys.time_since_epoch()).count();
    return 25569.0 + s / 86400.0; // 1970-01-01 is day 25569 of the recorder's calendar
}

ToaResult Converter::run()
{
    if (o_.recorderCode != 1200 && o_.recorderCode != 1280)
        throw ValueError("the recorder clock must be 1200 (25 ns) or 1280 (12.5 ns)");
    if (o_.out.empty())
        throw ValueError("no output recording given");
    tickPeriod_ = TickPeriodForRecorder(static_cast<std::uint16_t>(o_.recorderCode));
    const std::filesystem::path out = std::filesystem::absolute(o_.out);
    std::filesystem::path lfm = o_.lfm ? std::filesystem::absolute(*o_.lfm) : out;
    if (!o_.lfm)
        lfm.replace_extension(".lfm");
    for (const auto &in : o_.inputs) {
        std::error_code ec;
        if (std::filesystem::equivalent(in, out, ec) ||
            (o_.writeLfm && std::filesystem::equivalent(in, lfm, ec)))
            throw ValueError(in.string() + ": the output would replace an input file");
    }
    if (o_.writeLfm && lfm == out)
        throw ValueError("the recording and the configuration would be the same file");
    // More threads than the machine has cores would only wait for each other.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const unsigned threads = o_.threads != 0 ? std::min(o_.threads, cores) : cores;
    arena_ = std::make_unique<tbb::task_arena>(static_cast<int>(std::clamp(threads, 1u, 64u)));

    const auto src = openSignalFiles(o_.inputs, o_.open);
    plan(src->info());

    RecordingHeader header;
    header.hasSignature = true;
    header.RecorderCode = static_cast<std::uint16_t>(o_.recorderCode);
    for (std::size_t k = 0; k < recs_.size(); ++k) {
        ChannelDescriptor d;
        d.ChanNo = static_cast<std::uint16_t>(k + 1);
        d.ChanName = utf8ToCp1251(recs_[k].name);
        d.ChanSensorType = static_cast<std::uint16_t>(recs_[k].sensor);
        header.channels.push_back(std::move(d));
    }
    header.RecordDate = o_.recordDate.value_or(modificationDay(o_.inputs.front()));
    // Created before the passes: a target that cannot be written is found at once.
    RecordingWriter writer(out, header);
    if (passes_ == 2) {
        firstPass(*src);
        src->rewind();
    }
    setLevels();
    triggerPass(*src, writer);

    ToaResult res;
    res.bld = out;
    res.rate = rate_;
    res.frames = frames_;
    res.seconds = static_cast<double>(frames_) / rate_;
    res.records = writer.records();
    int tacho = -1;
    for (std::size_t k = 0; k < recs_.size(); ++k) {
        const RecordingPlan &r = recs_[k];
        const SignalPlan &s = signals_[static_cast<std::size_t>(r.signal)];
        ChannelSummary cs;
        cs.name = r.name;
        cs.signal = s.name;
        cs.channel = static_cast<int>(k + 1);
        cs.sensor = r.sensor;
        cs.level = s.sign * r.levels.level;
        cs.fraction = r.fraction.has_value();
        cs.pulses = r.pulses;
        cs.untimed = r.trigger->untimed();
        cs.signalMin = s.lo;
        cs.signalMax = s.hi;
        cs.peakMin = r.pulses ? std::min(r.peakMin, r.peakMax) : 0;
        cs.peakMax = r.pulses ? std::max(r.peakMin, r.peakMax) : 0;
        cs.gaps = r.gaps;
        cs.widestGapS = r.widestGap / rate_;
        cs.widestGapAtS = r.widestGapAt / rate_;
        if (!(s.hi > s.lo))
            throw FormatError(s.file,
                              "channel " + s.name + " is silent: every sample is " + number(s.lo) + " V");
        if (r.pulses == 0)
            throw FormatError(s.file, "channel " + s.name + ": no pulse crosses the level " +
                                          number(cs.level) + " V (the signal lies between " + number(s.lo) +
                                          " and " + number(s.hi) + " V)");
        if (r.sensor == TTypeSensor::srTaho && tacho < 0)
            tacho = static_cast<int>(k);
        res.channels.push_back(std::move(cs));
    }

    std::optional<datafiles::FileReplacement> lfmFile;
    if (o_.writeLfm) {
        if (tacho < 0)
            throw ValueError("the configuration needs a tacho channel");
        StarterStage st;
        st.recording = out;
        st.tachoSensor = tacho;
        st.name = o_.stageName;
        st.diameterMm = o_.diameterMm;
        st.seconds = res.seconds;
        for (std::size_t k = 0; k < recs_.size(); ++k)
            st.sensors.push_back({recs_[k].name, static_cast<int>(k + 1), recs_[k].sensor});
        for (const auto &[root, tip] : o_.pairs)
            st.pairs.emplace_back(findRecording(root), findRecording(tip));
        // Blades: the pulses per revolution of the first pair's root (or the
        // first probe) against the tacho's.
        int probe = st.pairs.empty() ? -1 : st.pairs.front().first;
        for (std::size_t k = 0; probe < 0 && k < recs_.size(); ++k)
            if (static_cast<int>(k) != tacho)
                probe = static_cast<int>(k);
        st.blades = o_.blades;
        if (st.blades == 0)
            st.blades =
                probe < 0
                    ? 1
                    : std::clamp(static_cast<int>(std::lround(
                                     static_cast<double>(recs_[static_cast<std::size_t>(probe)].pulses) /
                                     static_cast<double>(recs_[static_cast<std::size_t>(tacho)].pulses))),
                                 1, static_cast<int>(kMaxBlades));
        res.blades = st.blades;
        auto cfg = std::make_unique<TCfgDfm>();
        buildStarterConfig(st, *cfg);
        const std::vector<std::uint8_t> bytes = cfg->SaveToBytes();
        lfmFile.emplace(lfm);
        lfmFile->write(bytes.data(), bytes.size());
        res.lfm = lfm;
    }
    writer.commit();
    if (lfmFile)
        lfmFile->commit();
    return res;
}

} // namespace

Level parseLevel(std::string_view text)
{
    Level l;
    std::string_view t = text;
    if (!t.empty() && t.back() == '%') {
        l.percent = true;
        t.remove_suffix(1);
    } else if (!t.empty() && (t.back() == 'V' || t.back() == 'v')) {
        t.remove_suffix(1);
    }
    const auto r = std::from_chars(t.data(), t.data() + t.size(), l.value);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(l.value))
        throw ValueError("\"" + std::string(text) + "\" is not a level (volts, as 0.25, or percent, as 40%)");
    return l;
}

ToaResult convertSignals(const ToaOptions &options) { return Converter(options).run(); }

std::string formatSummary(const ToaResult &r)
{
    std::string s = "signals: " + number(r.seconds) + " s at " + number(r.rate) + " samples/s, " +
                    std::to_string(r.frames) + " samples per channel\n";
    for (const ChannelSummary &c : r.channels) {
        s += "channel " + std::to_string(c.channel) + " " + c.name + " (" +
             std::string(kTypeSensorTexts[static_cast<std::size_t>(c.sensor)]) +
             "): " + std::to_string(c.pulses) + " pulses, " +
             number(static_cast<double>(c.pulses) / r.seconds) + " per s, level " + number(c.level) + " V" +
             (c.fraction ? " (constant fraction)" : "") + ", signal " + number(c.signalMin) + " .. " +
             number(c.signalMax) + " V, pulse peaks " + number(c.peakMin) + " .. " + number(c.peakMax) + " V";
        if (c.untimed > 0)
            s += ", " + std::to_string(c.untimed) + " pulses without a timed edge (dropped)";
        if (c.gaps > 0)
            s += ", " + std::to_string(c.gaps) + " suspicious gaps (widest " + number(c.widestGapS * 1e3) +
                 " ms after " + number(c.widestGapAtS) + " s)";
        s += "\n";
    }
    s += "recording: " + r.bld.string() + " (" + std::to_string(r.records) + " pulses)\n";
    if (!r.lfm.empty())
        s += "configuration: " + r.lfm.string() + " (" + std::to_string(r.blades) +
             " blades, to be completed)\n";
    return s;
}

} // namespace vibrolan::toa
