// vibrolan-cli simulate-signals: the sampled probe signals of a scenario (raw
// samples with a JSON sidecar for `toa`) and their true arrival times.
#include "command.hpp"
#include "option_number.hpp"

#include "base/errors.hpp"
#include "sim/raw_signals.hpp"
#include "sim/scenario.hpp"

#include <charconv>
#include <cmath>
#include <ostream>

namespace {

using namespace vibrolan;

int runSimulateSignals(cli::CommandContext &ctx)
{
    std::string presetName, scenarioFile;
    sim::RawSignalOptions o;
    double scale = 0;
    const auto &a = ctx.args;
    auto value = [&](std::size_t &i) -> const std::string & {
        if (i + 1 >= a.size())
            throw ValueError(a[i] + " needs a value");
        return a[++i];
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::string &opt = a[i];
        if (opt == "--scenario")
            scenarioFile = value(i);
        else if (opt == "--out")
            o.outDir = value(i);
        else if (opt == "--name")
            o.name = value(i);
        else if (opt == "--rate")
            o.sampleRate = cli::optionNumber(opt, value(i));
        else if (opt == "--snr")
            o.snrDb = cli::optionNumber(opt, value(i));
        else if (opt == "--height")
            o.amplitudeV = cli::optionNumber(opt, value(i));
        else if (opt == "--half-height-rpm")
            o.halfHeightRpm = cli::optionNumber(opt, value(i));
        else if (opt == "--width-mm")
            o.probeWidthMm = cli::optionNumber(opt, value(i));
        else if (opt == "--scale")
            scale = cli::optionNumber(opt, value(i));
        else if (opt == "--shape") {
            const std::string &v = value(i);
            if (v != "eddy" && v != "optical")
                throw ValueError("--shape needs eddy or optical");
            o.shape = v == "eddy" ? sim::ProbeShape::EddyCurrent : sim::ProbeShape::Optical;
        } else if (opt == "--format") {
            const std::string &v = value(i);
            if (v != "float32" && v != "int16")
                throw ValueError("--format needs float32 or int16");
            o.format = v == "float32" ? sim::RawFormat::Float32 : sim::RawFormat::Int16;
        } else if (!opt.empty() && opt[0] == '-')
            throw ValueError("unknown option " + opt);
        else if (presetName.empty())
            presetName = opt;
        else
            throw ValueError("unexpected argument \"" + opt + "\"");
    }
    if (presetName.empty() == scenarioFile.empty() || o.outDir.empty()) {
        ctx.err << "usage: vibrolan-cli simulate-signals [PRESET | --scenario FILE.json] --out DIR [--name "
                   "NAME]\n"
                   "         [--rate HZ] [--snr DB] [--height V] [--half-height-rpm RPM] [--width-mm MM]\n"
                   "         [--shape eddy|optical] [--format float32|int16] [--scale F]\n";
        return 2;
    }
    sim::Scenario sc = scenarioFile.empty() ? sim::preset(presetName) : sim::loadScenarioFile(scenarioFile);
    if (scale > 0)
        sc = sim::scaledDuration(sc, scale);
    int lastPercent = -1;
    o.progress = [&](std::int64_t done, std::int64_t total) {
        const int pct = total > 0 ? static_cast<int>(100 * done / total) : 100;
        if (pct != lastPercent) {
            lastPercent = pct;
            ctx.err << "\rsimulating signals: " << pct << "%" << std::flush;
        }
    };
    const sim::RawSignalResult r = sim::writeRawSignals(sc, o);
    ctx.err << "\n";
    ctx.out << "signals: " << r.sidecar.string() << " (" << r.frames << " samples of " << r.names.size()
            << " channels)\narrivals: " << r.arrivals.string() << "\n";
    return 0;
}

const bool registered = cli::registerCommand({"simulate-signals",
                                              "simulate-signals [PRESET | --scenario FILE.json] --out DIR "
                                              "[options]  sampled probe signals of a scenario",
                                              runSimulateSignals});

} // namespace
