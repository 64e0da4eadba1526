// vibrolan-cli resonances: the whole analysis of a configuration and its
// recording, then the identification of every blade's resonances (engine
// order, natural frequency, damping, amplitude) with a readable table on
// stdout, progress on stderr and, when asked, the CSV file.
#include "command.hpp"
#include "option_number.hpp"
#include "progress_printer.hpp"
#include "run_setup.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"
#include "identify/identify.hpp"
#include "identify/resonance_table.hpp"
#include "recording/angle_gates.hpp"
#include "run/processing_run.hpp"
#ifdef VIBROLAN_HAS_PLOT
#include "plot/campbell_file.hpp"
#endif

#include <charconv>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <system_error>

namespace {

using namespace vibrolan;
using cli::ProgressPrinter;

struct ResonancesArgs {
    std::string config, recording, csv, plot;
    identify::IdentifyOptions options;
};

std::string usage()
{
    return "usage: vibrolan-cli resonances CONFIG.lfm [--recording FILE] [--csv OUT.csv] [--eo N] [--eo-max "
           "N]\n"
           "                              [--from RPM --to RPM] [--threshold Z] [--plot FILE.png]\n"
           "  --eo N         the engine order of every resonance (needed with fewer than three pairs\n"
           "                 at distinct angles)\n"
           "  --eo-max N     the highest engine order tried (default: what the pairs' angles tell apart)\n"
           "  --from, --to   only resonances whose peak lies in this speed band (rev/min)\n"
           "  --threshold Z  detection threshold in noise units (default 6)\n"
           "  --plot FILE    the Campbell diagram as a PNG picture\n";
}

int parseWhole(const std::string &option, const std::string &text)
{
    int v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size() || v < 1)
        throw ValueError(option + " needs a whole number of at least 1, not \"" + text + "\"");
    return v;
}

// Options with a value: each one's name and what it sets.
using OptionSetter =
    std::function<void(ResonancesArgs &, const std::string &option, const std::string &value)>;
const std::map<std::string, OptionSetter> &valueOptions()
{
    static const std::map<std::string, OptionSetter> options = {
        {"--recording",
         [](ResonancesArgs &a, const std::string &, const std::string &v) { a.recording = v; }},
        {"--csv", [](ResonancesArgs &a, const std::string &, const std::string &v) { a.csv = v; }},
        {"--eo", [](ResonancesArgs &a, const std::string &o,
                    const std::string &v) { a.options.engineOrder = parseWhole(o, v); }},
        {"--eo-max", [](ResonancesArgs &a, const std::string &o,
                        const std::string &v) { a.options.eoMax = parseWhole(o, v); }},
        {"--from", [](ResonancesArgs &a, const std::string &o,
                      const std::string &v) { a.options.fromRpm = cli::optionNumber(o, v); }},
        {"--to", [](ResonancesArgs &a, const std::string &o,
                    const std::string &v) { a.options.toRpm = cli::optionNumber(o, v); }},
        {"--threshold", [](ResonancesArgs &a, const std::string &o,
                           const std::string &v) { a.options.threshold = cli::optionNumber(o, v); }},
        {"--plot",
         [](ResonancesArgs &a, const std::string &, const std::string &v) {
#ifndef VIBROLAN_HAS_PLOT
             throw ValueError("--plot: this program was built without its picture library (Qt)");
#endif
             a.plot = v;
         }},
    };
    return options;
}

ResonancesArgs parseArgs(const std::vector<std::string> &a)
{
    ResonancesArgs args;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto opt = valueOptions().find(a[i]);
        if (opt != valueOptions().end()) {
            if (i + 1 >= a.size())
                throw ValueError(a[i] + " needs a value");
            opt->second(args, a[i], a[i + 1]);
            ++i;
        } else if (!a[i].empty() && a[i][0] == '-') {
            throw ValueError("unknown option " + a[i] + "\n" + usage());
        } else if (args.config.empty()) {
            args.config = a[i];
        } else {
            throw ValueError("unexpected argument \"" + a[i] + "\"\n" + usage());
        }
    }
    return args;
}

int runResonances(cli::CommandContext &ctx)
{
    const ResonancesArgs args = parseArgs(ctx.args);
    if (args.config.empty()) {
        ctx.err << usage();
        return 2;
    }
    TCfgDfm cfg;
    cli::loadRunConfig(cfg, args.config, args.recording);
    StderrMessageSink sink;
    TAngleGates gates;
    cli::loadRunGates(cfg, gates);

    ProgressPrinter pp(ctx.err);
    TRunCallbacks cb = pp.runCallbacks(cfg);
    TRunInputs inputs;
    inputs.CfgFileName = args.config;
    inputs.Gates = &gates;
    const TRunResult run = ProcessingRun(cfg, inputs, sink, NumberFormat{}, cb);
    pp.endLine();
    if (run.status == TRunStatus::NoRecording) {
        ctx.err << "vibrolan-cli resonances: " << cli::missingRecordingText(cfg, args.config) << "\n";
        return 1;
    }
    pp.phase("identification");
    const identify::IdentifyResult result =
        identify::IdentifyResonances(cfg, args.options, [&](std::int64_t done, std::int64_t total) {
            pp.percent("identification", done, total);
        });
    pp.endLine();
    for (const std::string &line : identify::ResonanceTableLines(cfg, result))
        ctx.out << line << "\n";
    // Nothing identified, nothing written: an existing CSV stays as it was.
    if (result.noResonance()) {
        ctx.err << "vibrolan-cli resonances: no resonance was crossed (no blade's response rose above its "
                   "noise floor)\n";
        return 1;
    }
    if (result.resonances.empty()) {
        ctx.err
            << "vibrolan-cli resonances: no resonance could be identified (the reasons are listed above)\n";
        return 1;
    }
    if (!args.csv.empty())
        writeFileAtomically(args.csv, identify::ResonancesCsv(result));
#ifdef VIBROLAN_HAS_PLOT
    if (!args.plot.empty())
        plot::saveCampbellPng(result, args.plot);
#endif
    return 0;
}

const bool registered = cli::registerCommand(
    {"resonances",
     "resonances CONFIG.lfm [--recording FILE] [--csv OUT.csv] [--eo N] [--eo-max N] [--from RPM --to RPM] "
     "[--threshold Z] [--plot FILE.png]",
     runResonances});

} // namespace
