// vibrolan-cli analyze: the whole analysis of a configuration and its
// recording, or of up to five data files standing in for stage 0's pairs,
// the same run as the program's "Старт", with the report on stdout (or in a
// file), the rotation-speed curves and the pair series as CSV.
#include "command.hpp"
#include "progress_printer.hpp"
#include "run_setup.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "base/plain_number.hpp"
#include "config/cfg_dfm.hpp"
#include "export/data_file_input.hpp"
#include "export/pair_save.hpp"
#include "output/data_set_staging.hpp"
#include "output/report.hpp"
#include "recording/angle_gates.hpp"
#include "run/no_revolutions.hpp"
#include "run/processing_run.hpp"
#include "run/tacho_read.hpp"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vibrolan;
using cli::ProgressPrinter;

std::string csvNumber(double v, int digits) { return PlainGeneral(v, digits); }

// Stage and pair names may hold anything; file names keep letters, digits and a few signs.
std::string safeName(const std::string &s)
{
    std::string out;
    for (unsigned char c : s)
        out += (c >= 0x80 || std::isalnum(c) || c == '-' || c == '_') ? static_cast<char>(c) : '_';
    return out.empty() ? "_" : out;
}

void writeTacho(const TCfgDfm &cfg, const std::filesystem::path &file, MessageSink &sink, ProgressPrinter &pp)
{
    const auto curves = TachoReadAll(
        cfg,
        [&](std::int64_t total, std::int64_t pos, double, double, double) {
            pp.percent("tacho", pos, total);
        },
        sink);
    pp.endLine();
    std::string text = "stage,time_s,speed_rpm\n";
    for (std::size_t s = 0; s < curves.size(); ++s)
        for (std::uint32_t i = 0; i < curves[s].RevCount; ++i)
            text += std::to_string(s + 1) + "," + csvNumber(curves[s].TachoTime[i], 9) + "," +
                    csvNumber(curves[s].TachoSpeed[i], 8) + "\n";
    writeFileAtomically(file, text);
}

// The series files of one run replace those of an earlier run all or none.
void writeSeries(const TCfgDfm &cfg, const TRunResult &run, const std::filesystem::path &dir)
{
    std::error_code ec;
    if (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec))
        throw FileError(dir, "not a folder; name a folder for the series files");
    DataSetStaging staging(dir);
    for (const auto &[s, p] : run.CheckedPairs) {
        const TStage &st = cfg.Stages[s];
        const TPair &pair = st.Pairs[p];
        const auto size = static_cast<std::size_t>(std::max(pair.Size, 0));
        // Times of day exist only with a time-code sensor; the series holds
        // its initial block otherwise.
        const bool uts = HasTimeCode(cfg) && pair.UTS_Time.size() >= size;
        std::string text = "sample,time_s,freq_rpm";
        if (uts)
            text += ",uts_time_s";
        for (int b = 0; b < st.CountBlade; ++b)
            text += ",blade" + std::to_string(b + 1);
        text += "\n";
        for (int i = 0; i < pair.Size; ++i) {
            const auto k = static_cast<std::size_t>(i);
            text += std::to_string(i) + "," + csvNumber(pair.Time[k], 9) + "," + csvNumber(pair.Freq[k], 8);
            if (uts)
                text += "," + csvNumber(pair.UTS_Time[k], 15);
            for (int b = 0; b < st.CountBlade; ++b) {
                const auto series = pair.AmplSeries(static_cast<std::size_t>(b));
                text += "," + (k < series.size() ? csvNumber(series[k], 8) : std::string());
            }
            text += "\n";
        }
        const std::filesystem::path file =
            dir / (safeName(st.NameStage) + "_" + safeName(pair.NamePair) + ".csv");
        if (isReadOnlyFile(file))
            throw FileError(file, "the file is read-only; no series file was written");
        writeFileAtomically(staging.staged(file), text);
    }
    staging.commit();
}

// The thread count of --threads: a whole number from 1 to 256.
unsigned parseThreads(const std::string &v)
{
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
    if (v.empty() || ec != std::errc{} || end != v.data() + v.size() || n < 1 || n > 256)
        throw ValueError("--threads needs a whole number from 1 to 256, got \"" + v + "\"");
    return n;
}

std::string usage()
{
    return "usage: vibrolan-cli analyze CONFIG.lfm [--recording FILE | --data FILE...] [--report OUT.txt]\n"
           "                           [--tacho OUT.csv] [--series DIR] [--threads N]\n"
           "  --data FILE  take stage 0's pairs from up to five .zami/.prx data files instead of\n"
           "               the recording (repeat the option; --tacho needs a recording)\n"
           "  --threads N  threads of the stage computation (default: one per core; the results\n"
           "               are the same for any number)\n";
}

int runAnalyze(cli::CommandContext &ctx)
{
    std::string config, recording, reportFile, tachoFile, seriesDir;
    std::vector<std::filesystem::path> data;
    unsigned threads = 0; // one per core
    const auto &a = ctx.args;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto value = [&]() -> const std::string & {
            if (i + 1 >= a.size())
                throw ValueError(a[i] + " needs a value");
            return a[++i];
        };
        if (a[i] == "--recording")
            recording = value();
        else if (a[i] == "--data")
            data.emplace_back(value());
        else if (a[i] == "--report")
            reportFile = value();
        else if (a[i] == "--tacho")
            tachoFile = value();
        else if (a[i] == "--series")
            seriesDir = value();
        else if (a[i] == "--threads")
            threads = parseThreads(value());
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
    if (!data.empty() && !recording.empty())
        throw ValueError("--recording and --data are two kinds of input; give one of them\n" + usage());
    // The rotation-speed curves are read from the recording's tacho pulses.
    if (!data.empty() && !tachoFile.empty())
        throw ValueError("--tacho reads the recording; with --data the speed is in the pairs' series "
                         "(--series)\n" +
                         usage());

    TCfgDfm cfg;
    cli::loadRunConfig(cfg, config, recording);
    StderrMessageSink sink;
    const NumberFormat fmt{};
    if (!data.empty()) {
        DataFileEnv env;
        env.numberFormat = fmt;
        OpenRequiredDataFiles(cfg, data, sink, env);
    }
    TAngleGates gates;
    cli::loadRunGates(cfg, gates);

    ProgressPrinter pp(ctx.err);
    TBladeReport report;
    TRunCallbacks cb = pp.runCallbacks(cfg);
    cb.report = [&](const TCfgDfm &c) {
        report.Clear();
        report.GenerateReport(c, fmt);
    };
    TRunInputs inputs;
    inputs.CfgFileName = config;
    inputs.Gates = &gates;
    inputs.Threads = threads;
    const TRunResult run = ProcessingRun(cfg, inputs, sink, fmt, cb);
    pp.endLine();
    if (run.status == TRunStatus::NoRecording) {
        ctx.err << "vibrolan-cli analyze: " << cli::missingRecordingText(cfg, config) << "\n";
        return 1;
    }

    if (reportFile.empty()) {
        for (const auto &line : report.Lines())
            ctx.out << line << "\n";
    } else {
        report.WriteReport(reportFile);
    }
    for (const auto &[s, p] : run.CheckedPairs) {
        const TPair &pair = cfg.Stages[s].Pairs[p];
        ctx.err << "stage " << cfg.Stages[s].NameStage << " pair " << pair.NamePair << ": " << pair.Size
                << " revolutions, " << pair.SizeOfBad << " rejected\n";
    }
    if (!tachoFile.empty())
        writeTacho(cfg, tachoFile, sink, pp);
    if (!seriesDir.empty())
        writeSeries(cfg, run, seriesDir);
    // The outputs are written as the run left them; an empty result is no success.
    if (const auto why = ExplainNoRevolutions(cfg, run, sink)) {
        ctx.err << "vibrolan-cli analyze: " << *why << "\n";
        return 1;
    }
    return 0;
}

const bool registered = cli::registerCommand(
    {"analyze",
     "analyze CONFIG.lfm [--recording FILE | --data FILE...] [--report OUT.txt] [--tacho OUT.csv] "
     "[--series DIR] [--threads N]",
     runAnalyze});

} // namespace
