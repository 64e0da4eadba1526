// vibrolan-cli export: runs the analysis of a configuration (the program's
// "Старт") and saves one pair's results, or its 3D slice, as a ZAMI data set,
// or the whole run as one HDF5 file, as the program's "Сохранить" commands do.
#include "command.hpp"
#include "run_setup.hpp"

#include "base/errors.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "export/data_file_input.hpp"
#include "export/pair_save.hpp"
#include "export/run_hdf5.hpp"
#include "identify/run_identification.hpp"
#include "progress_printer.hpp"
#include "recording/angle_gates.hpp"
#include "run/no_revolutions.hpp"
#include "run/processing_run.hpp"
#include "vibrolan/version.h"

#include <charconv>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using namespace vibrolan;

std::string usage()
{
    return "usage: vibrolan-cli export CONFIG.lfm --pair NAME --out DIR [--kind K] [--hz] [--slice]\n"
           "                          [--recording FILE] [--data FILE]... [--decimal SEP]\n"
           "       vibrolan-cli export CONFIG.lfm --hdf5 OUT.h5 [--no-identify] [--recording FILE] [--data "
           "FILE]...\n"
           "  --hdf5 OUT.h5  save the whole run (every checked pair, every series, the identified\n"
           "                 resonances and asynchronous vibration) as one HDF5 file\n"
           "  --no-identify  leave the identification's tables out of the HDF5 file\n"
           "  --kind K     graph kind 0..6 (run-through) or 0..5 (steady state), default 0\n"
           "  --hz         rotation speed in Hz instead of rpm\n"
           "  --slice      save the 3D deflection slice instead of the per-blade series\n"
           "  --data FILE  take stage 0's pairs from up to five .zami/.prx data files\n"
           "  --decimal SEP  decimal separator of the key file's numbers, '.' (default) or ','\n";
}

struct Options {
    std::string config, pair, out, recording, hdf5;
    std::vector<std::filesystem::path> data;
    int kind = 0;
    bool hz = false;
    bool slice = false;
    bool identify = true;
    char decimal = '.';
};

int parseKind(const std::string &text)
{
    int kind = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), kind);
    if (ec != std::errc() || end != text.data() + text.size())
        throw ValueError("--kind needs a number, not \"" + text + "\"");
    return kind;
}

Options parse(const std::vector<std::string> &a)
{
    Options o;
    bool pairGiven = false, identifyGiven = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto value = [&]() -> const std::string & {
            if (i + 1 >= a.size())
                throw ValueError(a[i] + " needs a value\n" + usage());
            return a[++i];
        };
        if (a[i] == "--pair") {
            o.pair = value();
            pairGiven = true;
        } else if (a[i] == "--hdf5") {
            o.hdf5 = value();
        } else if (a[i] == "--out") {
            o.out = value();
        } else if (a[i] == "--kind") {
            o.kind = parseKind(value());
        } else if (a[i] == "--no-identify") {
            o.identify = false;
            identifyGiven = true;
        } else if (a[i] == "--hz") {
            o.hz = true;
        } else if (a[i] == "--slice") {
            o.slice = true;
        } else if (a[i] == "--recording") {
            o.recording = value();
        } else if (a[i] == "--data") {
            o.data.emplace_back(value());
        } else if (a[i] == "--decimal") {
            const std::string &sep = value();
            if (sep != "." && sep != ",")
                throw ValueError("--decimal takes \".\" or \",\", not \"" + sep + "\"");
            o.decimal = sep[0];
        } else if (!a[i].empty() && a[i][0] == '-') {
            throw ValueError("unknown option " + a[i] + "\n" + usage());
        } else if (o.config.empty()) {
            o.config = a[i];
        } else {
            throw ValueError("unexpected argument \"" + a[i] + "\"\n" + usage());
        }
    }
    if (!o.hdf5.empty()) {
        if (o.config.empty() || pairGiven || !o.out.empty() || o.slice || o.hz)
            throw ValueError("--hdf5 saves the whole run: give a configuration and no --pair, --out, "
                             "--slice or --hz\n" +
                             usage());
        return o;
    }
    if (identifyGiven)
        throw ValueError("--no-identify belongs to --hdf5\n" + usage());
    if (o.config.empty() || !pairGiven || o.out.empty())
        throw ValueError("a configuration, --pair and --out (or --hdf5) are required\n" + usage());
    return o;
}

// Runs the analysis of the loaded configuration on its input.
TRunResult runAnalysis(TCfgDfm &cfg, const Options &o, MessageSink &sink, const DataFileEnv &env,
                       const TRunCallbacks &cb = {})
{
    if (!o.data.empty())
        OpenRequiredDataFiles(cfg, o.data, sink, env);
    TAngleGates gates;
    cli::loadRunGates(cfg, gates);
    TRunInputs inputs;
    inputs.CfgFileName = o.config;
    inputs.Gates = &gates;
    return ProcessingRun(cfg, inputs, sink, env.numberFormat, cb);
}

// A run without a recording or without a revolution saves nothing: says why.
int refuseEmptyRun(cli::CommandContext &ctx, const TCfgDfm &cfg, const Options &o, const TRunResult &run,
                   MessageSink &sink)
{
    if (run.status == TRunStatus::NoRecording) {
        ctx.err << "vibrolan-cli export: " << cli::missingRecordingText(cfg, o.config) << "\n";
        return 1;
    }
    if (const auto why = ExplainNoRevolutions(cfg, run, sink)) {
        ctx.err << "vibrolan-cli export: " << *why << "; nothing saved\n";
        return 1;
    }
    return 0;
}

int exportHdf5(cli::CommandContext &ctx, const Options &o)
{
    TCfgDfm cfg;
    cli::loadRunConfig(cfg, o.config, o.recording);
    StderrMessageSink sink;
    cli::ProgressPrinter pp(ctx.err);
    const TRunResult run = runAnalysis(cfg, o, sink, DataFileEnv{}, pp.runCallbacks(cfg));
    pp.endLine();
    if (const int rc = refuseEmptyRun(ctx, cfg, o, run, sink))
        return rc;
    std::optional<identify::RunIdentification> id;
    if (o.identify) {
        pp.phase("identification");
        identify::RunIdentificationProgress progress;
        progress.resonances = [&](std::int64_t done, std::int64_t total) {
            pp.percent("resonances", done, total);
        };
        progress.asynchronous = [&](std::int64_t done, std::int64_t total) {
            pp.percent("asynchronous", done, total);
        };
        id = identify::IdentifyRun(cfg, progress);
        pp.endLine();
    }
    TRunHdf5Info info;
    info.ProgramVersion = VIBROLAN_VERSION;
    info.ConfigFile = std::filesystem::absolute(o.config);
    info.RecordingFile = o.data.empty() ? std::filesystem::path(cfg.FileName) : std::filesystem::path();
    info.TickPeriod = run.TickPeriod;
    info.RevCount = run.RevCount;
    info.Pairs = run.CheckedPairs;
    info.Identification = id ? &*id : nullptr;
    SaveRunHdf5(cfg, info, o.hdf5);
    ctx.out << run.CheckedPairs.size() << " pairs";
    if (id) {
        if (id->resonances)
            ctx.out << ", " << id->resonances->resonances.size() << " blade resonances";
        if (id->asynchronous)
            ctx.out << ", " << id->asynchronous->segments.size() << " asynchronous segments";
    }
    ctx.out << " saved in " << o.hdf5 << "\n";
    return 0;
}

int runExport(cli::CommandContext &ctx)
{
    if (ctx.args.empty()) {
        ctx.err << usage();
        return 2;
    }
    const Options o = parse(ctx.args);
    // As analyze: the two inputs exclude each other.
    if (!o.data.empty() && !o.recording.empty())
        throw ValueError("--recording and --data are two kinds of input; give one of them\n" + usage());
    if (!o.hdf5.empty())
        return exportHdf5(ctx, o);

    TCfgDfm cfg;
    cli::loadRunConfig(cfg, o.config, o.recording);

    // The pair is checked before the run, which may take long.
    const auto at = FindPairByName(cfg, o.pair);
    if (!at)
        throw ValueError("the configuration has no pair \"" + o.pair + "\"");
    const TPair &pair =
        cfg.Stages[static_cast<std::size_t>(at->Stage)].Pairs[static_cast<std::size_t>(at->Pair)];
    if (!pair.Checked)
        throw ValueError("pair \"" + o.pair +
                         "\" is not checked in the configuration, so the run computes nothing for it");
    if (!o.slice)
        GraphKindUnits(cfg.Mode, o.kind);
    else
        GraphKindUnits(TMode::mdDynamic, o.kind);

    StderrMessageSink sink;
    DataFileEnv env;
    env.numberFormat.decimalSeparator = o.decimal;
    const TRunResult run = runAnalysis(cfg, o, sink, env);
    if (const int rc = refuseEmptyRun(ctx, cfg, o, run, sink))
        return rc;

    const TSpeedUnit speed = o.hz ? TSpeedUnit::suHz : TSpeedUnit::suRpm;
    if (o.slice)
        SavePairSlice(cfg, *at, o.kind, speed, o.out, env);
    else
        SavePairSeries(cfg, *at, o.kind, speed, o.out, env);
    const std::filesystem::path out(o.out);
    ctx.out << "pair " << o.pair << " (stage " << at->Stage + 1 << ", pair " << at->Pair + 1 << "), "
            << pair.Size << " revolutions: " << (o.slice ? "3D slice" : "series") << " saved in "
            << (out / (out.filename().string() + ".zami")).string() << "\n";
    return 0;
}

const bool registered = cli::registerCommand({"export",
                                              "export CONFIG.lfm --pair NAME --out DIR [--kind K] [--hz] "
                                              "[--slice] | --hdf5 OUT.h5 [--no-identify]   save a pair's "
                                              "results or the whole run",
                                              runExport});

} // namespace
