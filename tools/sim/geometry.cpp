#include "sim/geometry.hpp"

#include "base/errors.hpp"
#include "sim/rng.hpp"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vibrolan::sim {

namespace {

double frac(double x) { return x - std::floor(x); }

std::string stagePath(std::size_t i) { return "stages[" + std::to_string(i) + "]"; }

double maxDeflection(const Scenario &s, const StageSpec &st)
{
    double rpmMax = 0;
    for (const auto &p : s.speed)
        rpmMax = std::max(rpmMax, p.rpm);
    double d = std::abs(st.staticCoeff) * rpmMax * rpmMax;
    for (const auto &r : st.resonances)
        d += r.forcingMm * std::max(1.0, 1.0 / (2.0 * r.damping));
    if (st.stall)
        d += (1.0 + st.stall->modulationDepth) * st.stall->amplitudeMm;
    if (st.flutter)
        d += st.flutter->amplitudeMm;
    return d;
}

} // namespace

int probeIndex(const StageSpec &st, const std::string &name)
{
    for (std::size_t i = 0; i < st.probes.size(); ++i)
        if (st.probes[i].name == name)
            return static_cast<int>(i);
    return -1;
}

StageGeometry stageGeometry(const Scenario &s, std::size_t si)
{
    const StageSpec &st = s.stages.at(si);
    const std::string path = stagePath(si);
    const int n = st.blades;
    StageGeometry g;
    g.maxDeflectionMm = maxDeflection(s, st);

    int ref = -1;
    for (std::size_t p = 0; p < st.probes.size() && ref < 0; ++p)
        if (st.probes[p].kind == ProbeKind::Root)
            ref = static_cast<int>(p);
    if (ref < 0)
        throw ValueError("scenario: " + path + ".probes: a stage needs at least one root probe");

    // The fixed pitch pattern of the blade row.
    Rng rng(st.pitchSeed, 0x5EED);
    std::vector<double> base(n);
    for (int b = 0; b < n; ++b)
        base[b] = (b + 0.5 + st.pitchIrregularity * rng.symmetric()) / n;

    double mark = 0;
    if (s.tacho.mode == TachoMode::Signature) {
        g.signatureProbe = probeIndex(st, st.signatureProbe);
        if (st.signatureProbe.empty() || g.signatureProbe < 0)
            throw ValueError("scenario: " + path +
                             ".signature_probe: signature tacho mode needs the name of a probe of the stage");
        if (st.probes[g.signatureProbe].kind != ProbeKind::Root)
            throw ValueError("scenario: " + path +
                             ".signature_probe: must be a root probe (it sees no deflection)");
        if (n < 3)
            throw ValueError("scenario: " + path + ".blades: signature tacho mode needs at least 3 blades");
        mark = frac(base[0] + (st.probes[g.signatureProbe].angleDeg - st.probes[ref].angleDeg) / 360.0);
    }
    const double refAngle = st.probes[ref].angleDeg;
    g.offset.resize(st.probes.size());
    for (std::size_t p = 0; p < st.probes.size(); ++p) {
        g.offset[p].resize(n);
        for (int b = 0; b < n; ++b)
            g.offset[p][b] = frac(base[b] + (st.probes[p].angleDeg - refAngle) / 360.0 - mark);
    }

    if (g.signatureProbe >= 0) {
        // Intervals between consecutive passes at the signature probe, oldest
        // first, the last one ending at blade 0 (offset 0), minus their mean.
        std::vector<double> u = g.offset[g.signatureProbe];
        std::sort(u.begin(), u.end());
        g.signature.resize(n);
        for (int i = 1; i < n; ++i)
            g.signature[i - 1] = static_cast<float>(u[i] - u[i - 1] - 1.0 / n);
        g.signature[n - 1] = static_cast<float>(1.0 - u[n - 1] - 1.0 / n);
    }

    // How close to the mark an arrival may come: a tenth of a pitch plus the
    // largest deflection, as a fraction of a revolution.
    const double circumference = M_PI * st.diameterMm;
    const double deflFrac = g.maxDeflectionMm / circumference;
    const double margin = 0.1 / n + deflFrac;
    if (2 * deflFrac > 0.5 * (1.0 - 2 * st.pitchIrregularity) / n)
        throw ValueError("scenario: " + path + ": the blade deflection (up to " +
                         std::to_string(g.maxDeflectionMm) + " mm) is too large for the blade pitch (" +
                         std::to_string(circumference / n) + " mm)");

    for (std::size_t k = 0; k < st.pairs.size(); ++k) {
        const PairSpec &ps = st.pairs[k];
        const std::string pp = path + ".pairs[" + std::to_string(k) + "]";
        PairGeometry pg;
        pg.rootProbe = probeIndex(st, ps.root);
        pg.tipProbe = probeIndex(st, ps.tip);
        if (pg.rootProbe < 0 || st.probes[pg.rootProbe].kind != ProbeKind::Root)
            throw ValueError("scenario: " + pp + ".root: \"" + ps.root +
                             "\" is not a root probe of the stage");
        if (pg.tipProbe < 0 || st.probes[pg.tipProbe].kind != ProbeKind::Tip)
            throw ValueError("scenario: " + pp + ".tip: \"" + ps.tip + "\" is not a tip probe of the stage");
        if (pg.rootProbe == g.signatureProbe)
            throw ValueError("scenario: " + pp + ".root: the signature probe cannot be the root of a pair");
        const auto &ur = g.offset[pg.rootProbe];
        pg.tipLag = frac((st.probes[pg.tipProbe].angleDeg - st.probes[pg.rootProbe].angleDeg) / 360.0);
        pg.numberBlade.resize(n);
        std::iota(pg.numberBlade.begin(), pg.numberBlade.end(), 0);
        std::sort(pg.numberBlade.begin(), pg.numberBlade.end(), [&](int a, int b) { return ur[a] < ur[b]; });
        for (int b = 0; b < n; ++b) {
            const double w = ur[b] + pg.tipLag;
            if (std::min(ur[b], 1.0 - ur[b]) < 0.1 / n || std::abs(w - 1.0) < margin)
                throw ValueError("scenario: " + pp + ": blade " + std::to_string(b + 1) +
                                 " passes a probe of the pair too close to the revolution mark; "
                                 "move the probes by a fraction of a pitch");
            if (w >= 1.0)
                ++pg.skipBlade;
        }
        // The configuration keeps the number of skipped blades below 24.
        if (pg.skipBlade > 23)
            throw ValueError("scenario: " + pp + ".tip: the tip probe first sees " +
                             std::to_string(pg.skipBlade) +
                             " blades of the previous turn, the configuration can skip at most 23; "
                             "place it closer after the root probe");
        g.pairs.push_back(std::move(pg));
    }
    return g;
}

} // namespace vibrolan::sim
