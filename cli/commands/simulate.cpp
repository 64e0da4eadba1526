// vibrolan-cli simulate: writes a recording of a known blade motion with its
// analysis configuration and ground truth.
#include "command.hpp"

#include "base/errors.hpp"
#include "base/plain_number.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <chrono>
#include <cstdlib>
#include <ostream>

namespace {

int runSimulate(vibrolan::cli::CommandContext &ctx)
{
    using namespace vibrolan;
    std::string presetName, scenarioFile, outDir, name;
    sim::SimulationOptions opt;
    double scale = 0;
    const auto &a = ctx.args;
    auto value = [&](std::size_t &i) -> const std::string & {
        if (i + 1 >= a.size())
            throw ValueError(a[i] + " needs a value");
        return a[++i];
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--scenario")
            scenarioFile = value(i);
        else if (a[i] == "--out")
            outDir = value(i);
        else if (a[i] == "--name")
            name = value(i);
        else if (a[i] == "--bldx")
            opt.bldx = true;
        else if (a[i] == "--no-truth")
            opt.truth = false;
        else if (a[i] == "--threads") {
            const std::string &v = value(i);
            char *end = nullptr;
            errno = 0;
            const unsigned long n = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end || errno || v[0] == '-' || n < 1 || n > 16)
                throw ValueError("--threads needs a whole number from 1 to 16, got \"" + v + "\"");
            opt.threads = static_cast<unsigned>(n);
        } else if (a[i] == "--seed" || a[i] == "--scale") {
            const std::string &v = value(i);
            char *end = nullptr;
            errno = 0;
            if (a[i - 1] == "--seed") {
                const unsigned long long s = std::strtoull(v.c_str(), &end, 10);
                if (v.empty() || *end || errno || v[0] == '-')
                    throw ValueError("--seed needs a whole number, got \"" + v + "\"");
                opt.seed = s;
            } else {
                const std::optional<double> parsed = ParsePlainNumber(v);
                scale = parsed.value_or(0);
                if (!(scale > 0) || scale > 1000)
                    throw ValueError("--scale needs a positive factor, got \"" + v + "\"");
            }
        } else if (!a[i].empty() && a[i][0] == '-')
            throw ValueError("unknown option " + a[i]);
        else if (presetName.empty())
            presetName = a[i];
        else
            throw ValueError("unexpected argument \"" + a[i] + "\"");
    }
    if (presetName.empty() == scenarioFile.empty())
        throw ValueError("give either a preset (" + [] {
            std::string s;
            for (const auto &n : sim::presetNames())
                s += (s.empty() ? "" : ", ") + n;
            return s;
        }() + ") or --scenario FILE.json");
    if (outDir.empty())
        throw ValueError("--out DIR is required");

    sim::Scenario sc = scenarioFile.empty() ? sim::preset(presetName) : sim::loadScenarioFile(scenarioFile);
    if (scale > 0)
        sc = sim::scaledDuration(sc, scale);
    opt.outDir = outDir;
    opt.name = name;
    int lastPercent = -1;
    opt.progress = [&](std::int64_t done, std::int64_t total) {
        const int pct = total > 0 ? static_cast<int>(100 * done / total) : 100;
        if (pct != lastPercent) {
            lastPercent = pct;
            ctx.err << "\rsimulating: " << pct << "%" << std::flush;
        }
    };
    const auto t0 = std::chrono::steady_clock::now();
    const sim::SimulationResult r = sim::simulate(sc, opt);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    ctx.err << "\n";

    ctx.out << "recording: " << r.bld.string() << " (" << r.records << " records, " << r.seconds << " s)\n";
    if (!r.bldx.empty())
        ctx.out << "compressed: " << r.bldx.string() << "\n";
    ctx.out << "configuration: " << r.lfm.string() << "\n";
    for (const auto &s : r.signatures)
        ctx.out << "signature: " << s.string() << "\n";
    if (!r.truth.empty())
        ctx.out << "truth: " << r.truth.string() << "\n";
    if (!r.modes.empty())
        ctx.out << "modes: " << r.modes.string() << "\n";
    for (const auto &p : r.pairs)
        ctx.out << "stage " << p.stage << " pair " << p.pair << ": " << p.accepted << " accepted, "
                << p.rejected << " rejected, " << p.faulty << " accepted with a wrong pulse\n";
    ctx.out << "speed: " << static_cast<long long>(r.records / (secs > 0 ? secs : 1e-9)) << " records/s\n";
    return 0;
}

const bool registered =
    vibrolan::cli::registerCommand({"simulate",
                                    "simulate [PRESET | --scenario FILE.json] --out DIR [--name NAME] "
                                    "[--bldx] [--seed N] [--scale F] [--no-truth] [--threads N]",
                                    runSimulate});

} // namespace
