// vibrolan-cli toa: sampled probe signals to a pulse recording (.bld) and a
// starter configuration (.lfm). Options that take a value may name one
// channel first ("--threshold P1=40%"); without a name they set the default.
#include "command.hpp"
#include "option_number.hpp"

#include "base/errors.hpp"
#include "toa/toa_conversion.hpp"

#include <charconv>
#include <chrono>
#include <cmath>
#include <ostream>

namespace {

using namespace vibrolan;

const char *const kUsage =
    "usage: vibrolan-cli toa SIGNALS... --out REC.bld [--rate HZ] [--tacho CH] [--edge rising|falling]\n"
    "         [--threshold V|N%[,V|N%...]] [--hysteresis V|N%] [--cfd FRACTION] [--precise]\n"
    "         [--clock 1200|1280] [--min-spacing S] [--max-width S] [--names A,B,...]\n"
    "         [--pair ROOT,TIP]... [--sensor CH=root|tip|tacho|in-edge|out-edge|root-cap|tip-cap]\n"
    "         [--blades N] [--diameter MM] [--lfm FILE | --no-lfm] [--start-ticks N] [--threads N]\n"
    "  SIGNALS: .wav/.rf64/.w64/.flac, .json (sidecar of raw int16/int32/float32/float64 data), .h5\n"
    "  --threshold, --edge, --hysteresis, --cfd and --sensor take CH=VALUE for one channel\n";

std::uint64_t parseWhole(const std::string &option, std::string_view v, std::uint64_t max)
{
    std::uint64_t x = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), x);
    if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || x > max)
        throw ValueError(option + " needs a whole number up to " + std::to_string(max) + ", got \"" +
                         std::string(v) + "\"");
    return x;
}

std::vector<std::string> splitList(std::string_view v)
{
    std::vector<std::string> out;
    for (std::size_t at = 0;;) {
        const std::size_t comma = v.find(',', at);
        out.emplace_back(v.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
        if (comma == std::string_view::npos)
            return out;
        at = comma + 1;
    }
}

TTypeSensor parseSensor(std::string_view v)
{
    static const std::pair<std::string_view, TTypeSensor> kinds[] = {
        {"root", TTypeSensor::srRoot},       {"tip", TTypeSensor::srPeak},
        {"in-edge", TTypeSensor::srInEdge},  {"out-edge", TTypeSensor::srOutEdge},
        {"tacho", TTypeSensor::srTaho},      {"root-cap", TTypeSensor::srRoot_cap},
        {"tip-cap", TTypeSensor::srPeak_cap}};
    for (const auto &[name, kind] : kinds)
        if (v == name)
            return kind;
    throw ValueError("unknown sensor kind \"" + std::string(v) +
                     "\" (root, tip, in-edge, out-edge, tacho, root-cap, tip-cap)");
}

toa::Edge parseEdge(std::string_view v)
{
    if (v == "rising")
        return toa::Edge::Rising;
    if (v == "falling")
        return toa::Edge::Falling;
    throw ValueError("--edge needs rising or falling, got \"" + std::string(v) + "\"");
}

int runToa(cli::CommandContext &ctx)
{
    toa::ToaOptions o;
    const auto &a = ctx.args;
    if (a.empty()) {
        ctx.err << kUsage;
        return 2;
    }
    auto value = [&](std::size_t &i) -> const std::string & {
        if (i + 1 >= a.size())
            throw ValueError(a[i] + " needs a value");
        return a[++i];
    };
    // "CH=VALUE" gives the rule of channel CH, else the default.
    auto split = [](const std::string &v) -> std::pair<std::string, std::string> {
        const std::size_t eq = v.find('=');
        if (eq == std::string::npos)
            return {std::string(), v};
        return {v.substr(0, eq), v.substr(eq + 1)};
    };
    for (std::size_t i = 0; i < a.size(); ++i) {
        const std::string &opt = a[i];
        if (opt == "--out") {
            o.out = value(i);
        } else if (opt == "--lfm") {
            o.lfm = std::filesystem::path(value(i));
        } else if (opt == "--no-lfm") {
            o.writeLfm = false;
        } else if (opt == "--rate") {
            o.open.rate = cli::optionNumber(opt, value(i));
        } else if (opt == "--tacho") {
            o.tacho = value(i);
        } else if (opt == "--clock") {
            o.recorderCode = static_cast<int>(parseWhole(opt, value(i), 65535));
        } else if (opt == "--precise") {
            o.interpolation = toa::Interpolation::Cubic;
        } else if (opt == "--min-spacing") {
            o.minSpacingS = cli::optionNumber(opt, value(i));
        } else if (opt == "--max-width") {
            o.maxWidthS = cli::optionNumber(opt, value(i));
        } else if (opt == "--names") {
            o.names = splitList(value(i));
        } else if (opt == "--pair") {
            const auto two = splitList(value(i));
            if (two.size() != 2)
                throw ValueError("--pair needs ROOT,TIP");
            o.pairs.emplace_back(two[0], two[1]);
        } else if (opt == "--blades") {
            o.blades = static_cast<int>(parseWhole(opt, value(i), 255));
        } else if (opt == "--diameter") {
            o.diameterMm = cli::optionNumber(opt, value(i));
        } else if (opt == "--start-ticks") {
            o.startTicks = static_cast<std::uint32_t>(parseWhole(opt, value(i), UINT32_MAX));
        } else if (opt == "--threads") {
            o.threads = static_cast<unsigned>(parseWhole(opt, value(i), 64));
        } else if (opt == "--threshold" || opt == "--edge" || opt == "--hysteresis" || opt == "--cfd" ||
                   opt == "--sensor") {
            const auto [ch, v] = split(value(i));
            toa::ChannelRule *rule = ch.empty() ? nullptr : &o.rules[ch];
            if (opt == "--threshold") {
                std::vector<toa::Level> levels;
                for (const auto &item : splitList(v))
                    levels.push_back(toa::parseLevel(item));
                (rule ? rule->thresholds : o.thresholds) = levels;
            } else if (opt == "--edge") {
                (rule ? rule->edge : o.edge) = parseEdge(v);
            } else if (opt == "--hysteresis") {
                (rule ? rule->hysteresis : o.hysteresis) = toa::parseLevel(v);
            } else if (opt == "--cfd") {
                (rule ? rule->fraction : o.fraction) = cli::optionNumber(opt, v);
            } else {
                if (!rule)
                    throw ValueError("--sensor needs CH=KIND");
                rule->sensor = parseSensor(v);
            }
        } else if (!opt.empty() && opt[0] == '-') {
            throw ValueError("unknown option " + opt);
        } else {
            o.inputs.emplace_back(opt);
        }
    }
    if (o.inputs.empty() || o.out.empty()) {
        ctx.err << kUsage;
        return 2;
    }
    int lastPercent = -1;
    o.progress = [&](std::int64_t done, std::int64_t total) {
        const int pct = total > 0 ? static_cast<int>(100 * done / total) : 100;
        if (pct != lastPercent) {
            lastPercent = pct;
            ctx.err << "\rtriggering: " << pct << "%" << std::flush;
        }
    };
    const auto t0 = std::chrono::steady_clock::now();
    toa::ToaResult r;
    try {
        r = toa::convertSignals(o);
    } catch (...) {
        if (lastPercent >= 0)
            ctx.err << "\n";
        throw;
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (lastPercent >= 0)
        ctx.err << "\n";
    ctx.out << toa::formatSummary(r);
    const double samples = static_cast<double>(r.frames) * static_cast<double>(r.channels.size());
    ctx.err << "speed: " << static_cast<long long>(samples / (secs > 0 ? secs : 1e-9)) << " samples/s\n";
    return 0;
}

const bool registered = cli::registerCommand(
    {"toa", "toa SIGNALS... --out REC.bld [options]  sampled probe signals to a recording", runToa});

} // namespace
