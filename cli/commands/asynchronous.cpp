// vibrolan-cli asynchronous: runs the analysis of a configuration and finds
// the asynchronous vibration of every stage (rotating stall, flutter): a
// table on stdout, progress on stderr, the segments as CSV (and optionally
// every window of their frequency tracks).
#include "command.hpp"
#include "progress_printer.hpp"
#include "run_setup.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "identify/async_vibration.hpp"
#include "recording/angle_gates.hpp"
#include "run/processing_run.hpp"

#include <charconv>
#include <cmath>
#include <ostream>
#include <string>

namespace {

using namespace vibrolan;

// Fixed decimals with "." whatever the locale.
std::string fixed(double v, int decimals)
{
    if (!std::isfinite(v))
        return {};
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

// Significant digits with "." whatever the locale.
std::string general(double v, int digits)
{
    if (!std::isfinite(v))
        return {};
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    return std::string(buf, r.ptr);
}

std::string pad(const std::string &s, std::size_t width)
{
    // Width in characters of UTF-8 text.
    std::size_t chars = 0;
    for (unsigned char c : s)
        chars += (c & 0xC0) != 0x80 ? 1 : 0;
    return chars >= width ? s : std::string(width - chars, ' ') + s;
}

const std::string kCsvHeader =
    "stage,time_from_s,time_to_s,speed_rpm,frequency_hz,nodal_diameter,amplitude_mean,"
    "amplitude_max,blades,quality\n";

std::string segmentsCsv(const identify::AsyncResult &res)
{
    std::string text = kCsvHeader;
    for (const auto &s : res.segments) {
        text += std::to_string(s.stage + 1) + "," + fixed(s.timeFrom, 3) + "," + fixed(s.timeTo, 3) + "," +
                fixed(s.speedRpm, 1) + "," + (s.frequencyKnown ? fixed(s.frequencyHz, 3) : std::string()) +
                "," + (s.nodalDiameterKnown ? std::to_string(s.nodalDiameter) : std::string()) + "," +
                general(s.amplitudeMean, 6) + "," + general(s.amplitudeMax, 6) + "," +
                std::to_string(s.blades) + "," + fixed(s.quality, 4) + "\n";
    }
    return text;
}

std::string trackCsv(const identify::AsyncResult &res)
{
    std::string text =
        "stage,segment,time_s,speed_rpm,frequency_hz,rotor_frequency_hz,nodal_diameter,amplitude\n";
    for (std::size_t i = 0; i < res.segments.size(); ++i) {
        const auto &s = res.segments[i];
        for (const auto &p : s.track)
            text += std::to_string(s.stage + 1) + "," + std::to_string(i + 1) + "," + fixed(p.time, 3) + "," +
                    fixed(p.rpm, 1) + "," + (s.frequencyKnown ? fixed(p.frequencyHz, 3) : std::string()) +
                    "," + (s.nodalDiameterKnown ? fixed(p.rotorFrequencyHz, 3) : std::string()) + "," +
                    (s.nodalDiameterKnown ? std::to_string(p.nodalDiameter) : std::string()) + "," +
                    general(p.amplitude, 6) + "\n";
    }
    return text;
}

void printTable(const TCfgDfm &cfg, const identify::AsyncResult &res, std::ostream &out)
{
    auto stageName = [&](int s) { return cfg.Stages[static_cast<std::size_t>(s)].NameStage; };
    for (const auto &l : res.layouts) {
        out << "Ступень " << stageName(l.stage) << ": пар " << l.pairs << ", окно " << l.windowRevolutions
            << " об., окон " << l.windows << ", порядки колебаний до " << general(l.maxOrder, 4) << "; ";
        if (l.aliasPeriod >= 2 * l.maxOrder)
            out << "углы пар различают их все\n";
        else
            out << "углы пар не различают порядки, отличающиеся на " << l.aliasPeriod
                << " (частота во вращающейся системе и ND неоднозначны)\n";
    }
    for (const auto &n : res.notes)
        out << n << "\n";
    if (res.segments.empty()) {
        out << "Асинхронных колебаний не найдено\n";
        return;
    }
    out << "\n"
        << pad("Ступень", 10) << pad("с, с", 9) << pad("по, с", 9) << pad("об/мин", 9)
        << pad("Частота, Гц", 13) << pad("ND", 5) << pad("Вращ., Гц", 11) << pad("Ампл. ср.", 11)
        << pad("Ампл. макс.", 12) << pad("Лопаток", 9) << pad("Качество", 10) << "\n";
    for (const auto &s : res.segments) {
        out << pad(stageName(s.stage), 10) << pad(fixed(s.timeFrom, 2), 9) << pad(fixed(s.timeTo, 2), 9)
            << pad(fixed(s.speedRpm, 0), 9) << pad(s.frequencyKnown ? fixed(s.frequencyHz, 2) : "?", 13)
            << pad(s.nodalDiameterKnown ? std::to_string(s.nodalDiameter) : "?", 5)
            << pad(s.nodalDiameterKnown ? fixed(s.rotorFrequencyHz, 2) : "?", 11)
            << pad(general(s.amplitudeMean, 4), 11) << pad(general(s.amplitudeMax, 4), 12)
            << pad(std::to_string(s.blades), 9) << pad(fixed(s.quality, 3), 10) << "\n";
        if (std::fabs(s.frequencyToHz - s.frequencyFromHz) > 0.01 * s.frequencyHz && s.frequencyKnown)
            out << "    частота меняется: " << fixed(s.frequencyFromHz, 2) << " -> "
                << fixed(s.frequencyToHz, 2) << " Гц\n";
        if (!s.remark.empty())
            out << "    " << s.remark << "\n";
        if (s.ambiguous) {
            out << "    возможные прочтения (вращ. частота, Гц / ND): " << fixed(s.rotorFrequencyHz, 2)
                << " / " << s.nodalDiameter;
            // The readings nearest the best first; a long list is cut.
            constexpr std::size_t kShown = 8;
            for (std::size_t i = 0; i < s.alternatives.size() && i < kShown; ++i)
                out << "; " << fixed(s.alternatives[i].rotorFrequencyHz, 2) << " / "
                    << s.alternatives[i].nodalDiameter;
            if (s.alternatives.size() > kShown)
                out << "; ... (ещё " << s.alternatives.size() - kShown << ")";
            out << "\n";
        }
    }
}

std::string usage()
{
    return "usage: vibrolan-cli asynchronous CONFIG.lfm [--recording FILE] [--csv OUT.csv] [--track "
           "OUT.csv]\n"
           "  --csv FILE    the segments: " +
           kCsvHeader.substr(0, kCsvHeader.size() - 1) +
           "\n"
           "  --track FILE  every window of the segments' frequency tracks\n";
}

int runAsynchronous(cli::CommandContext &ctx)
{
    std::string config, recording, csvFile, trackFile;
    const auto &a = ctx.args;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto value = [&]() -> const std::string & {
            if (i + 1 >= a.size())
                throw ValueError(a[i] + " needs a value");
            return a[++i];
        };
        if (a[i] == "--recording")
            recording = value();
        else if (a[i] == "--csv")
            csvFile = value();
        else if (a[i] == "--track")
            trackFile = value();
        else if (!a[i].empty() && a[i][0] == '-')
            throw ValueError("unknown option " + a[i] + "\n" + usage());
        else if (config.empty())
            config = a[i];
        else
            throw ValueError("unexpected argument \"" + a[i] + "\"\n" + usage());
    }
    if (config.empty()) {
        ctx.err << usage();
        return 2;
    }

    TCfgDfm cfg;
    cli::loadRunConfig(cfg, config, recording);
    StderrMessageSink sink;
    const NumberFormat fmt{};
    TAngleGates gates;
    cli::loadRunGates(cfg, gates);
    cli::ProgressPrinter pp(ctx.err);
    TRunCallbacks cb = pp.runCallbacks(cfg);
    TRunInputs inputs;
    inputs.CfgFileName = config;
    inputs.Gates = &gates;
    const TRunResult run = ProcessingRun(cfg, inputs, sink, fmt, cb);
    if (run.status == TRunStatus::NoRecording) {
        ctx.err << "vibrolan-cli asynchronous: " << cli::missingRecordingText(cfg, config) << "\n";
        return 1;
    }
    pp.endLine();
    const identify::AsyncResult res = identify::AnalyseAsynchronous(
        cfg, {}, [&](std::int64_t done, std::int64_t total) { pp.percent("asynchronous", done, total); });
    pp.endLine();
    printTable(cfg, res, ctx.out);
    // Both files are complete before either replaces an existing one.
    const std::string csv = segmentsCsv(res), track = trackFile.empty() ? std::string() : trackCsv(res);
    if (!csvFile.empty())
        writeFileAtomically(csvFile, csv);
    if (!trackFile.empty())
        writeFileAtomically(trackFile, track);
    return 0;
}

const bool registered = cli::registerCommand(
    {"asynchronous", "asynchronous CONFIG.lfm [--recording FILE] [--csv OUT.csv] [--track OUT.csv]",
     runAsynchronous});

} // namespace
