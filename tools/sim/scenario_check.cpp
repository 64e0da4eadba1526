// Validation of a scenario and the built-in presets.
#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "sim/geometry.hpp"
#include "sim/scenario.hpp"

#include <algorithm>
#include <map>
#include <set>

namespace vibrolan::sim {

namespace {

[[noreturn]] void fail(const std::string &field, const std::string &what)
{
    throw ValueError("scenario: " + field + ": " + what);
}

void checkName(const std::string &field, const std::string &name)
{
    if (name.empty())
        fail(field, "must not be empty");
    std::string cp;
    try {
        cp = utf8ToCp1251(name);
    } catch (const Error &) {
        fail(field, "\"" + name + "\" cannot be written in the recorder's code page");
    }
    if (cp.size() > 255)
        fail(field, "must be at most 255 characters");
}

} // namespace

void validateScenario(const Scenario &s)
{
    // Ten days of pulses are far more than any disk holds, and keep every
    // instant well inside what the counter arithmetic handles exactly.
    if (!(s.durationS > 0) || s.durationS > 864000)
        fail("duration_s", "must be positive and at most 864000 s (ten days)");
    if (s.speed.empty())
        fail("speed", "needs at least one point");
    if (s.speed.front().timeS != 0)
        fail("speed.points[0]", "must start at 0 s");
    for (std::size_t i = 0; i < s.speed.size(); ++i) {
        const std::string f = "speed.points[" + std::to_string(i) + "]";
        if (s.speed[i].rpm < 60 || s.speed[i].rpm > 60000)
            fail(f, "rpm must be within 60 .. 60000");
        if (i > 0 && s.speed[i].timeS <= s.speed[i - 1].timeS)
            fail(f, "times must increase");
    }
    if (s.stages.empty() || s.stages.size() > 5)
        fail("stages", "must hold 1 .. 5 stages");
    if (s.truthEvery < 1)
        fail("truth_every", "must be at least 1");
    if (s.analysis.rangeFrom && s.analysis.rangeTo && *s.analysis.rangeFrom > *s.analysis.rangeTo)
        fail("analysis.range", "from must not exceed to");

    // Every sensor sits on its own channel.
    std::map<int, std::string> channels;
    std::set<std::string> sensorNames;
    auto claim = [&](int ch, const std::string &who, const std::string &field, const std::string &name) {
        if (ch < 1 || ch > 64)
            fail(field, "channel must be within 1 .. 64");
        if (auto it = channels.find(ch); it != channels.end())
            fail(field, "channel " + std::to_string(ch) + " is already used by " + it->second);
        channels[ch] = who;
        checkName(field + ".name", name);
        if (!sensorNames.insert(name).second)
            fail(field + ".name", "sensor name \"" + name + "\" is used twice");
    };
    if (s.tacho.mode == TachoMode::Divisor) {
        if (s.tacho.divisor < 1 || s.tacho.divisor > 254)
            fail("tacho.divisor", "must be within 1 .. 254");
        claim(s.tacho.channel, "the tacho", "tacho", s.tacho.name);
    }
    if (s.timeCode.kind != TimeCodeKind::None && s.tickPeriod() != 2.5e-8)
        fail("time_code",
             "the time-code decoder counts 40 MHz ticks; use a 40 MHz recorder_code such as 1200");
    if (s.timeCode.kind != TimeCodeKind::None)
        claim(s.timeCode.channel, "the time code", "time_code", s.timeCode.name);

    std::set<std::string> stageNames, pairNames;
    std::size_t sensors = channels.size();
    for (std::size_t i = 0; i < s.stages.size(); ++i) {
        const StageSpec &st = s.stages[i];
        const std::string f = "stages[" + std::to_string(i) + "]";
        checkName(f + ".name", st.name);
        if (!stageNames.insert(st.name).second)
            fail(f + ".name", "stage name \"" + st.name + "\" is used twice");
        if (st.blades < 1 || st.blades > 255)
            fail(f + ".blades", "must be within 1 .. 255");
        if (st.diameterMm <= 0)
            fail(f + ".diameter_mm", "must be positive");
        if (st.pairs.empty() || st.pairs.size() > 16)
            fail(f + ".pairs", "must hold 1 .. 16 pairs");
        for (std::size_t p = 0; p < st.probes.size(); ++p) {
            const std::string pf = f + ".probes[" + std::to_string(p) + "]";
            claim(st.probes[p].channel, "probe \"" + st.probes[p].name + "\"", pf, st.probes[p].name);
        }
        sensors += st.probes.size();
        for (std::size_t p = 0; p < st.pairs.size(); ++p) {
            const std::string pf = f + ".pairs[" + std::to_string(p) + "].name";
            checkName(pf, st.pairs[p].name);
            if (!pairNames.insert(st.pairs[p].name).second)
                fail(pf, "pair name \"" + st.pairs[p].name + "\" is used twice");
        }
        for (std::size_t r = 0; r < st.resonances.size(); ++r) {
            const std::string rf = f + ".resonances[" + std::to_string(r) + "]";
            if (st.resonances[r].naturalHz <= 0 || st.resonances[r].damping <= 0)
                fail(rf, "natural_hz and damping must be positive");
            // The integrated response is written for an oscillating (underdamped) blade.
            if (s.response == ResponseKind::Transient && st.resonances[r].damping >= 0.5)
                fail(rf + ".damping", "must be below 0.5 for the transient response");
        }
        auto checkSegment = [&](const std::string &field, double from, const std::optional<double> &to) {
            if (to && !(*to > from))
                fail(field + ".to_s", "must come after from_s");
            if (from >= s.durationS)
                fail(field + ".from_s", "must lie within the recording");
        };
        if (st.stall) {
            checkSegment(f + ".stall", st.stall->fromS.value_or(0.0), st.stall->toS);
            // The blades' frequency must stay positive over the recording.
            const double end = st.stall->toS.value_or(s.durationS);
            if (st.stall->freqHz + st.stall->driftHzPerS * (end - st.stall->fromS.value_or(0.0)) <= 0)
                fail(f + ".stall.drift_hz_per_s",
                     "takes the frequency to zero or below within the recording");
        }
        if (st.flutter)
            checkSegment(f + ".flutter", st.flutter->fromS, st.flutter->toS);
        stageGeometry(s, i);
    }
    if (sensors > 96)
        fail("stages", "a configuration holds at most 96 sensors");

    // Timing noise must stay well below the shortest gap between two blades.
    double rpmMax = 0;
    for (const auto &p : s.speed)
        rpmMax = std::max(rpmMax, p.rpm);
    for (std::size_t i = 0; i < s.stages.size(); ++i) {
        const double pitchNs = 60.0 / rpmMax / s.stages[i].blades * 1e9;
        if (s.faults.jitterNs * 20 > pitchNs)
            fail("faults.jitter_ns",
                 "is too large for the blade pitch of stage \"" + s.stages[i].name + "\"");
    }
}

namespace {

StageSpec stageOne()
{
    StageSpec st;
    st.name = "St1";
    st.blades = 24;
    st.diameterMm = 800;
    st.pitchIrregularity = 0.02;
    st.pitchSeed = 11;
    st.staticCoeff = 2e-8;
    st.mistuning = 0.005;
    st.probes = {
        {"K1", 2, ProbeKind::Root, 20.0}, {"P1", 3, ProbeKind::Tip, 23.2}, {"P2", 4, ProbeKind::Tip, 200.5}};
    st.pairs = {{"Pa1", "K1", "P1"}, {"Pa2", "K1", "P2"}};
    st.resonances = {{5, 500.0, 0.01, 0.01}};
    return st;
}

StageSpec stageTwo()
{
    StageSpec st;
    st.name = "St2";
    st.blades = 37;
    st.diameterMm = 600;
    st.pitchIrregularity = 0.03;
    st.pitchSeed = 23;
    st.shrouded = true;
    st.staticCoeff = 1e-8;
    st.probes = {{"K2", 5, ProbeKind::Root, 40.0}, {"P3", 6, ProbeKind::Tip, 43.0}};
    st.pairs = {{"Pa3", "K2", "P3"}};
    st.resonances = {{7, 800.0, 0.02, 0.008}};
    st.stall = StallSpec{137.3, 0.05, 2.0, 3};
    return st;
}

Scenario base(const char *name)
{
    Scenario s;
    s.name = name;
    s.seed = 1;
    s.stages = {stageOne(), stageTwo()};
    s.year = 2024;
    s.month = 3;
    s.day = 15;
    s.startSecondOfDay = 10 * 3600 + 15 * 60;
    return s;
}

} // namespace

std::vector<std::string> presetNames() { return {"runup", "rundown", "steady", "faults", "large"}; }

Scenario preset(std::string_view name)
{
    Scenario s;
    if (name == "runup") {
        s = base("runup");
        s.durationS = 30;
        s.speed = {{0, 3000}, {30, 9000}};
        s.startTicks = 4294967295u - 80000000u; // the counter wraps 2 s in
        s.timeCode = {TimeCodeKind::IrigB, 16, "T"};
    } else if (name == "rundown") {
        s = base("rundown");
        s.durationS = 30;
        s.speed = {{0, 9000}, {5, 8800}, {30, 2500}};
        s.tacho.divisor = 2;
        s.startTicks = 123456789;
    } else if (name == "steady") {
        s = base("steady");
        s.durationS = 20;
        s.speed = {{0, 6000}, {20, 6012}};
        s.analysis.steady = true;
        s.timeCode = {TimeCodeKind::Sev, 16, "T"};
    } else if (name == "faults") {
        s = base("faults");
        s.durationS = 20;
        s.recorderCode = 1280;
        s.speed = {{0, 5500}, {20, 6500}};
        s.faults = {0.001, 2.0, 20.0};
    } else if (name == "large") {
        s = base("large");
        s.durationS = 2000;
        s.speed = {{0, 8000}, {2000, 10000}};
        s.truthEvery = 50;
        const int blades[] = {80, 96, 110, 120, 130};
        s.stages.clear();
        int ch = 2;
        for (int i = 0; i < 5; ++i) {
            StageSpec st;
            st.name = "St" + std::to_string(i + 1);
            st.blades = blades[i];
            st.diameterMm = 900 - 60 * i;
            st.pitchIrregularity = 0.02;
            st.pitchSeed = 100 + i;
            st.staticCoeff = 5e-9;
            const std::string k = "K" + std::to_string(i + 1);
            const std::string a = "A" + std::to_string(i + 1);
            const std::string b = "B" + std::to_string(i + 1);
            // Tip probes a quarter pitch and ten and a quarter pitches after the root probe.
            const double pitchDeg = 360.0 / st.blades;
            st.probes = {{k, ch, ProbeKind::Root, 10.0 * i},
                         {a, ch + 1, ProbeKind::Tip, 10.0 * i + pitchDeg / 4},
                         {b, ch + 2, ProbeKind::Tip, 10.0 * i + 10.25 * pitchDeg}};
            ch += 3;
            st.pairs = {{"Pa" + a, k, a}, {"Pa" + b, k, b}};
            st.resonances = {{3 + i, 150.0 * (3 + i) + 20, 0.01, 0.005}};
            s.stages.push_back(st);
        }
    } else {
        std::string known;
        for (const auto &n : presetNames())
            known += (known.empty() ? "" : ", ") + n;
        throw ValueError("unknown preset \"" + std::string(name) + "\" (known: " + known + ")");
    }
    validateScenario(s);
    return s;
}

Scenario scaledDuration(Scenario s, double factor)
{
    if (!(factor > 0))
        throw ValueError("the duration factor must be positive");
    s.durationS *= factor;
    for (auto &p : s.speed)
        p.timeS *= factor;
    for (auto &st : s.stages) {
        if (st.stall && st.stall->fromS)
            *st.stall->fromS *= factor;
        if (st.stall && st.stall->toS)
            *st.stall->toS *= factor;
        if (st.flutter) {
            st.flutter->fromS *= factor;
            if (st.flutter->toS)
                *st.flutter->toS *= factor;
        }
    }
    if (s.analysis.rangeFrom)
        *s.analysis.rangeFrom *= factor;
    if (s.analysis.rangeTo)
        *s.analysis.rangeTo *= factor;
    validateScenario(s);
    return s;
}

} // namespace vibrolan::sim
