#include "sim/raw_signals.hpp"

#include "base/errors.hpp"
#include "sim/blade_motion.hpp"
#include "sim/geometry.hpp"
#include "sim/output_file.hpp"
#include "sim/pulse_sources.hpp"
#include "sim/rng.hpp"
#include "sim/shaft.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <deque>
#include <memory>

namespace vibrolan::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kReach = 7; // widths on each side where a pulse is drawn

struct Shape {
    double time, width, height; // seconds, seconds, volts
};

struct Channel {
    std::string name;
    int number = 0;
    std::unique_ptr<PulseSource> source;
    bool tacho = false;
    double diameterMm = 0;
    std::deque<Shape> pending; // pulses that reach into the blocks ahead
    Shape ahead{};             // the next pulse not yet pending
    Rng noise{0};
};

std::string fixed(double v, int decimals)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

std::string general(double v)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 17);
    return std::string(buf, r.ptr);
}

std::string jsonString(const std::string &s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

RawSignalResult writeRawSignals(const Scenario &sc, const RawSignalOptions &o)
{
    validateScenario(sc);
    if (sc.tacho.mode != TachoMode::Divisor)
        throw ValueError("signals are simulated for a tacho in divisor mode only");
    if (!(o.sampleRate >= 1e3 && o.sampleRate <= 1e9) || !(o.amplitudeV > 0) || !(o.probeWidthMm > 0) ||
        !(o.tachoWidthDeg > 0) || !(o.halfHeightRpm >= 0) || !std::isfinite(o.snrDb))
        throw ValueError("bad signal options: the rate (1 kHz .. 1 GHz), height and widths must be positive");
    const std::string name = o.name.empty() ? sc.name : o.name;
    std::error_code ec;
    std::filesystem::create_directories(o.outDir, ec);
    if (!std::filesystem::is_directory(o.outDir))
        throw FileError(o.outDir, "cannot create the output folder");

    const double tick = sc.tickPeriod();
    const Shaft shaft(sc.speed);
    std::vector<StageGeometry> geo;
    std::vector<std::unique_ptr<BladeMotion>> motion;
    std::vector<Channel> chans;
    {
        Channel t;
        t.name = sc.tacho.name;
        t.number = sc.tacho.channel;
        t.tacho = true;
        t.source = makeTachoSource(shaft, tick, sc.tacho.divisor, sc.tacho.channel - 1);
        chans.push_back(std::move(t));
    }
    const FaultSpec none;
    for (std::size_t s = 0; s < sc.stages.size(); ++s) {
        geo.push_back(stageGeometry(sc, s));
        // The motion of the recording the simulator writes for the same scenario.
        motion.push_back(std::make_unique<BladeMotion>(sc.stages[s], sc.seed + 977 * s));
    }
    for (std::size_t s = 0; s < sc.stages.size(); ++s)
        for (std::size_t p = 0; p < sc.stages[s].probes.size(); ++p) {
            Channel c;
            c.name = sc.stages[s].probes[p].name;
            c.number = sc.stages[s].probes[p].channel;
            c.diameterMm = sc.stages[s].diameterMm;
            c.source = makeProbeSource(shaft, tick, sc.stages[s], geo[s], *motion[s], static_cast<int>(s),
                                       static_cast<int>(p), none, sc.seed);
            chans.push_back(std::move(c));
        }
    std::stable_sort(chans.begin(), chans.end(),
                     [](const Channel &a, const Channel &b) { return a.number < b.number; });
    const double noiseRms = o.amplitudeV * std::pow(10.0, -o.snrDb / 20);
    for (std::size_t c = 0; c < chans.size(); ++c)
        chans[c].noise = Rng(o.noiseSeed, 0x5197A1 + c);

    auto shapeOf = [&](const Channel &c, const Pulse &p) {
        const double t = p.exactTicks * tick;
        const double rpm = shaft.rpmAt(t);
        const double height =
            o.halfHeightRpm > 0 ? o.amplitudeV * o.halfHeightRpm / (o.halfHeightRpm + rpm) : o.amplitudeV;
        const double width =
            c.tacho ? o.tachoWidthDeg / 360 * 60 / rpm : o.probeWidthMm / (kPi * c.diameterMm * rpm / 60);
        return Shape{t, width, height};
    };
    for (Channel &c : chans)
        c.ahead = shapeOf(c, c.source->next());

    RawSignalResult res;
    res.frames = static_cast<std::uint64_t>(std::floor(sc.durationS * o.sampleRate));
    res.noiseRms = noiseRms;
    res.data = o.outDir / (name + ".signals.bin");
    res.sidecar = o.outDir / (name + ".signals.json");
    res.arrivals = o.outDir / (name + ".arrivals.csv");
    for (const Channel &c : chans) {
        res.names.push_back(c.name);
        res.channels.push_back(c.number);
    }
    const double fullScale = 1.25 * o.amplitudeV + 8 * noiseRms;
    const double int16Scale = fullScale / 32767;

    OutputFile data(res.data, 8u << 20);
    OutputFile arrivals(res.arrivals, 1u << 20);
    arrivals.write("channel,name,time_s,height_v,width_s\n");
    constexpr std::size_t kBlock = 1u << 14;
    const std::size_t nc = chans.size();
    std::vector<double> block(kBlock * nc);
    std::vector<float> outF(kBlock * nc);
    std::vector<std::int16_t> outI(kBlock * nc);
    std::string line;
    for (std::uint64_t first = 0; first < res.frames; first += kBlock) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, res.frames - first));
        const double blockEnd = static_cast<double>(first + n) / o.sampleRate;
        for (std::size_t c = 0; c < nc; ++c) {
            Channel &ch = chans[c];
            double *y = block.data() + c;
            for (std::size_t i = 0; i < n; ++i)
                y[i * nc] = noiseRms * ch.noise.normal();
            // Pulses that start before the block ends become pending.
            while (ch.ahead.time - kReach * ch.ahead.width < blockEnd) {
                ch.pending.push_back(ch.ahead);
                if (ch.ahead.time * o.sampleRate < static_cast<double>(res.frames)) {
                    line = std::to_string(ch.number) + "," + ch.name + "," + fixed(ch.ahead.time, 12) + "," +
                           fixed(ch.ahead.height, 6) + "," + general(ch.ahead.width) + "\n";
                    arrivals.write(line);
                }
                ch.ahead = shapeOf(ch, ch.source->next());
            }
            for (const Shape &p : ch.pending) {
                const double from = std::max<double>(static_cast<double>(first),
                                                     std::ceil((p.time - kReach * p.width) * o.sampleRate));
                const double to =
                    std::min<double>(static_cast<double>(first + n),
                                     std::floor((p.time + kReach * p.width) * o.sampleRate) + 1);
                for (double k = from; k < to; ++k) {
                    const double u = (k / o.sampleRate - p.time) / p.width;
                    const double v = ch.tacho || o.shape == ProbeShape::EddyCurrent
                                         ? p.height * u * std::exp(0.5 * (1 - u * u))
                                         : p.height * std::exp(-0.5 * u * u);
                    y[static_cast<std::size_t>(k - static_cast<double>(first)) * nc] += v;
                }
            }
            while (!ch.pending.empty() &&
                   (ch.pending.front().time + kReach * ch.pending.front().width) * o.sampleRate <
                       static_cast<double>(first + n))
                ch.pending.pop_front();
        }
        if (o.format == RawFormat::Float32) {
            for (std::size_t i = 0; i < n * nc; ++i)
                outF[i] = static_cast<float>(block[i]);
            data.write(outF.data(), n * nc * sizeof(float));
        } else {
            for (std::size_t i = 0; i < n * nc; ++i)
                outI[i] = static_cast<std::int16_t>(
                    std::clamp(std::lround(block[i] / int16Scale), -32767L, 32767L));
            data.write(outI.data(), n * nc * sizeof(std::int16_t));
        }
        reportProgress(o.progress, static_cast<std::int64_t>(first + n),
                       static_cast<std::int64_t>(res.frames));
    }

    std::string json = "{\n  \"data\": " + jsonString(res.data.filename().string()) + ",\n  \"format\": \"" +
                       (o.format == RawFormat::Float32 ? "float32" : "int16") +
                       "\",\n  \"rate\": " + general(o.sampleRate) +
                       ",\n  \"channels\": " + std::to_string(nc) +
                       ",\n  \"scale\": " + general(o.format == RawFormat::Float32 ? 1.0 : int16Scale) +
                       ",\n  \"frames\": " + std::to_string(res.frames) + ",\n  \"names\": [";
    for (std::size_t c = 0; c < nc; ++c)
        json += (c ? ", " : "") + jsonString(chans[c].name);
    json += "]\n}\n";
    OutputFile sidecar(res.sidecar, 1u << 16);
    sidecar.write(json);
    data.commit();
    arrivals.commit();
    sidecar.commit();
    return res;
}

} // namespace vibrolan::sim
