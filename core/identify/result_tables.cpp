#include "identify/result_tables.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace vibrolan::identify {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Columns filled from one row type, a column at a time.
template <class Row> class TableOf {
public:
    TableOf(std::string name, std::vector<const Row *> rows) : rows_(std::move(rows))
    {
        table_.name = std::move(name);
        table_.rows = rows_.size();
    }

    template <class F> void real(const char *name, const char *units, F f)
    {
        add<std::vector<double>>(name, units, [&](const Row &r) { return static_cast<double>(f(r)); });
    }
    template <class F> void count(const char *name, F f)
    {
        add<std::vector<std::int64_t>>(name, "",
                                       [&](const Row &r) { return static_cast<std::int64_t>(f(r)); });
    }
    template <class F> void flag(const char *name, F f)
    {
        TableColumn::Flags flags;
        for (const Row *r : rows_)
            flags.v.push_back(static_cast<bool>(f(*r)));
        table_.columns.push_back({name, "", std::move(flags)});
    }
    template <class F> void text(const char *name, F f)
    {
        add<std::vector<std::string>>(name, "", [&](const Row &r) { return std::string(f(r)); });
    }

    ResultTable take() { return std::move(table_); }

private:
    template <class V, class F> void add(const char *name, const char *units, F f)
    {
        V v;
        v.reserve(rows_.size());
        for (const Row *r : rows_)
            v.push_back(f(*r));
        table_.columns.push_back({name, units, std::move(v)});
    }

    std::vector<const Row *> rows_;
    ResultTable table_;
};

template <class Row, class Keep> std::vector<const Row *> rowsOf(const std::vector<Row> &all, Keep keep)
{
    std::vector<const Row *> rows;
    for (const Row &r : all)
        if (keep(r))
            rows.push_back(&r);
    return rows;
}

// One-based number of each item among the items of its own stage.
template <class Row> std::vector<std::int64_t> numberInStage(const std::vector<Row> &all)
{
    std::vector<std::int64_t> number(all.size());
    std::vector<std::int64_t> seen;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto s = static_cast<std::size_t>(std::max(all[i].stage, 0));
        if (seen.size() <= s)
            seen.resize(s + 1, 0);
        number[i] = ++seen[s];
    }
    return number;
}

void resonanceTables(const IdentifyResult &res, int stage, std::vector<ResultTable> &out)
{
    const auto keep = [stage](const auto &r) { return stage < 0 || r.stage == stage; };
    const std::vector<std::int64_t> eventNo = numberInStage(res.events);
    const auto eventOf = [&](int e) -> std::int64_t {
        return e >= 0 && static_cast<std::size_t>(e) < eventNo.size() ? eventNo[static_cast<std::size_t>(e)]
                                                                      : 0;
    };

    TableOf<BladeResonance> r("resonances", rowsOf(res.resonances, keep));
    r.count("stage", [](const auto &x) { return x.stage + 1; });
    r.count("blade", [](const auto &x) { return x.blade + 1; });
    r.count("event", [&](const auto &x) { return eventOf(x.event); });
    r.count("engine_order", [](const auto &x) { return x.engineOrder; });
    r.flag("eo_given", [](const auto &x) { return x.eoGiven; });
    r.count("eo_runner_up", [](const auto &x) { return x.eoRunnerUp; });
    r.real("eo_confidence", "", [](const auto &x) { return x.eoConfidence; });
    r.real("speed_rpm", "rpm", [](const auto &x) { return x.speedRpm; });
    r.real("frequency_hz", "Hz", [](const auto &x) { return x.frequencyHz; });
    r.real("damping_ratio", "", [](const auto &x) { return x.dampingRatio; });
    r.real("amplitude", "mm", [](const auto &x) { return x.amplitude; });
    r.real("forcing", "mm", [](const auto &x) { return x.forcing; });
    r.real("phase_deg", "deg", [](const auto &x) { return x.phaseDeg; });
    r.count("pairs", [](const auto &x) { return x.pairs; });
    r.real("quality", "", [](const auto &x) { return x.quality; });
    r.real("peak_time_s", "s", [](const auto &x) { return x.peakTime; });
    r.real("peak_rpm", "rpm", [](const auto &x) { return x.peakRpm; });
    r.real("noise", "mm", [](const auto &x) { return x.noise; });
    r.real("sweep_rate", "", [](const auto &x) { return x.sweepRate; });
    r.real("band_revolutions", "", [](const auto &x) { return x.bandRevolutions; });
    r.flag("sweep_in_range", [](const auto &x) { return x.sweepInRange; });
    r.real("time_from_s", "s", [](const auto &x) { return x.window.timeFrom; });
    r.real("time_to_s", "s", [](const auto &x) { return x.window.timeTo; });
    r.real("rpm_from", "rpm", [](const auto &x) { return x.window.rpmFrom; });
    r.real("rpm_to", "rpm", [](const auto &x) { return x.window.rpmTo; });
    out.push_back(r.take());

    std::vector<const StageEvent *> events;
    std::vector<std::int64_t> keptNo;
    for (std::size_t i = 0; i < res.events.size(); ++i)
        if (keep(res.events[i])) {
            events.push_back(&res.events[i]);
            keptNo.push_back(eventNo[i]);
        }
    TableOf<StageEvent> e("resonance_events", events);
    e.count("stage", [](const auto &x) { return x.stage + 1; });
    std::size_t k = 0;
    e.count("event", [&](const auto &) { return keptNo[k++]; });
    e.real("time_from_s", "s", [](const auto &x) { return x.window.timeFrom; });
    e.real("time_to_s", "s", [](const auto &x) { return x.window.timeTo; });
    e.real("rpm_from", "rpm", [](const auto &x) { return x.window.rpmFrom; });
    e.real("rpm_to", "rpm", [](const auto &x) { return x.window.rpmTo; });
    e.real("peak_rpm", "rpm", [](const auto &x) { return x.peakRpm; });
    e.count("blades", [](const auto &x) { return x.blades; });
    out.push_back(e.take());

    TableOf<NotIdentifiable> n("resonances_not_identified", rowsOf(res.notIdentifiable, keep));
    n.count("stage", [](const auto &x) { return x.stage + 1; });
    n.count("blade", [](const auto &x) { return x.blade + 1; });
    n.count("event", [&](const auto &x) { return eventOf(x.event); });
    n.real("rpm_from", "rpm", [](const auto &x) { return x.rpmFrom; });
    n.real("rpm_to", "rpm", [](const auto &x) { return x.rpmTo; });
    n.text("reason", [](const auto &x) { return x.reason; });
    out.push_back(n.take());
}

// A segment's track point or blade, with the segment it belongs to.
struct InSegment {
    const AsyncSegment *segment = nullptr;
    std::int64_t number = 0; // the segment's, one-based in its stage
    std::size_t index = 0;   // the point's or blade's
};

void asynchronousTables(const AsyncResult &res, int stage, std::vector<ResultTable> &out)
{
    const auto keep = [stage](const auto &r) { return stage < 0 || r.stage == stage; };
    const std::vector<std::int64_t> segmentNo = numberInStage(res.segments);
    std::vector<const AsyncSegment *> segments;
    std::vector<InSegment> points, blades;
    std::vector<std::int64_t> keptNo;
    for (std::size_t i = 0; i < res.segments.size(); ++i) {
        const AsyncSegment &s = res.segments[i];
        if (!keep(s))
            continue;
        segments.push_back(&s);
        keptNo.push_back(segmentNo[i]);
        for (std::size_t p = 0; p < s.track.size(); ++p)
            points.push_back({&s, segmentNo[i], p});
        for (std::size_t b = 0; b < s.bladeMean.size(); ++b)
            blades.push_back({&s, segmentNo[i], b});
    }
    const auto known = [](bool k, double v) { return k ? v : kNaN; };

    TableOf<AsyncSegment> t("asynchronous", segments);
    t.count("stage", [](const auto &x) { return x.stage + 1; });
    std::size_t k = 0;
    t.count("segment", [&](const auto &) { return keptNo[k++]; });
    t.real("time_from_s", "s", [](const auto &x) { return x.timeFrom; });
    t.real("time_to_s", "s", [](const auto &x) { return x.timeTo; });
    t.real("speed_rpm", "rpm", [](const auto &x) { return x.speedRpm; });
    t.real("frequency_hz", "Hz", [&](const auto &x) { return known(x.frequencyKnown, x.frequencyHz); });
    t.real("frequency_from_hz", "Hz",
           [&](const auto &x) { return known(x.frequencyKnown, x.frequencyFromHz); });
    t.real("frequency_to_hz", "Hz", [&](const auto &x) { return known(x.frequencyKnown, x.frequencyToHz); });
    t.real("rotor_frequency_hz", "Hz",
           [&](const auto &x) { return known(x.nodalDiameterKnown, x.rotorFrequencyHz); });
    t.count("nodal_diameter", [](const auto &x) { return x.nodalDiameterKnown ? x.nodalDiameter : 0; });
    t.flag("frequency_known", [](const auto &x) { return x.frequencyKnown; });
    t.flag("nodal_diameter_known", [](const auto &x) { return x.nodalDiameterKnown; });
    t.flag("ambiguous", [](const auto &x) { return x.ambiguous; });
    t.real("coherence", "", [](const auto &x) { return x.coherence; });
    t.real("amplitude_mean", "mm", [](const auto &x) { return x.amplitudeMean; });
    t.real("amplitude_max", "mm", [](const auto &x) { return x.amplitudeMax; });
    t.count("blades", [](const auto &x) { return x.blades; });
    t.real("quality", "", [](const auto &x) { return x.quality; });
    t.text("remark", [](const auto &x) { return x.remark; });
    out.push_back(t.take());

    std::vector<const InSegment *> pointRows, bladeRows;
    for (const InSegment &p : points)
        pointRows.push_back(&p);
    for (const InSegment &b : blades)
        bladeRows.push_back(&b);
    const auto point = [](const InSegment &x) -> const AsyncTrackPoint & {
        return x.segment->track[x.index];
    };
    TableOf<InSegment> tr("asynchronous_track", pointRows);
    tr.count("stage", [](const auto &x) { return x.segment->stage + 1; });
    tr.count("segment", [](const auto &x) { return x.number; });
    tr.real("time_s", "s", [&](const auto &x) { return point(x).time; });
    tr.real("speed_rpm", "rpm", [&](const auto &x) { return point(x).rpm; });
    tr.real("frequency_hz", "Hz",
            [&](const auto &x) { return known(x.segment->frequencyKnown, point(x).frequencyHz); });
    tr.real("rotor_frequency_hz", "Hz",
            [&](const auto &x) { return known(x.segment->nodalDiameterKnown, point(x).rotorFrequencyHz); });
    tr.count("nodal_diameter",
             [&](const auto &x) { return x.segment->nodalDiameterKnown ? point(x).nodalDiameter : 0; });
    tr.real("amplitude", "mm", [&](const auto &x) { return point(x).amplitude; });
    tr.real("significance", "", [&](const auto &x) { return point(x).significance; });
    out.push_back(tr.take());

    TableOf<InSegment> bl("asynchronous_blades", bladeRows);
    bl.count("stage", [](const auto &x) { return x.segment->stage + 1; });
    bl.count("segment", [](const auto &x) { return x.number; });
    bl.count("blade", [](const auto &x) { return static_cast<std::int64_t>(x.index) + 1; });
    bl.real("amplitude_mean", "mm", [](const auto &x) { return x.segment->bladeMean[x.index]; });
    bl.real("amplitude_max", "mm", [](const auto &x) {
        return x.index < x.segment->bladeMax.size() ? x.segment->bladeMax[x.index] : kNaN;
    });
    out.push_back(bl.take());
}

} // namespace

std::vector<ResultTable> IdentificationTables(const RunIdentification &id, int stage)
{
    std::vector<ResultTable> out;
    if (id.resonances)
        resonanceTables(*id.resonances, stage, out);
    if (id.asynchronous)
        asynchronousTables(*id.asynchronous, stage, out);
    return out;
}

} // namespace vibrolan::identify
