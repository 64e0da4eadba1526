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
#include "identify/async_table.hpp"
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
    // Column widths in characters, wide enough for the words of a value left open.
    static constexpr std::size_t kWidth[identify::kAsyncColumns] = {10, 9, 9, 9, 14, 14, 14, 11, 12, 9, 10};
    const std::vector<std::string> headers = identify::AsyncTableHeaders();
    out << "\n";
    for (int c = 0; c < identify::kAsyncColumns; ++c)
        out << pad(headers[static_cast<std::size_t>(c)], kWidth[c]);
    out << "\n";
    for (const auto &s : res.segments) {
        const std::vector<std::string> cells = identify::AsyncTableCells(cfg, s);
        for (int c = 0; c < identify::kAsyncColumns; ++c)
            out << pad(cells[static_cast<std::size_t>(c)], kWidth[c]);
        out << "\n";
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
           std::string(identify::kAsyncCsvHeader) +
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
    const std::string csv = identify::AsyncSegmentsCsv(res),
                      track = trackFile.empty() ? std::string() : identify::AsyncTrackCsv(res);
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
