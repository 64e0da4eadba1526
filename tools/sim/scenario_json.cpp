// Reading a scenario from JSON. Every value goes through one accessor that
// knows its path, so an error names the field the user has to fix, and an
// unknown key (usually a typo) is an error rather than silently ignored.
#include "sim/scenario.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/plain_number.hpp"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <set>

namespace vibrolan::sim {

namespace {

using nlohmann::json;

class Node {
public:
    Node(const json &j, std::string path) : j_(j), path_(std::move(path)) {}

    const std::string &path() const { return path_; }
    [[noreturn]] void fail(const std::string &what) const
    {
        throw ValueError("scenario: " + path_ + ": " + what);
    }

    void requireObject(std::initializer_list<const char *> allowed) const
    {
        if (!j_.is_object())
            fail("must be an object");
        std::set<std::string> ok(allowed.begin(), allowed.end());
        for (auto it = j_.begin(); it != j_.end(); ++it)
            if (!ok.count(it.key()))
                Node(it.value(), child(it.key())).fail("unknown field");
    }
    bool has(const char *key) const { return j_.contains(key); }
    Node at(const char *key) const
    {
        if (!j_.contains(key))
            Node(j_, child(key)).fail("missing");
        return Node(j_.at(key), child(key));
    }
    std::vector<Node> items() const
    {
        if (!j_.is_array())
            fail("must be a list");
        std::vector<Node> out;
        for (std::size_t i = 0; i < j_.size(); ++i)
            out.emplace_back(j_[i], path_ + "[" + std::to_string(i) + "]");
        return out;
    }
    double number() const
    {
        if (!j_.is_number())
            fail("must be a number");
        const double v = j_.get<double>();
        if (!std::isfinite(v))
            fail("must be finite");
        return v;
    }
    double number(double lo, double hi) const
    {
        const double v = number();
        if (v < lo || v > hi)
            fail("must be within " + fmt(lo) + " .. " + fmt(hi) + ", got " + fmt(v));
        return v;
    }
    long long integer(long long lo, long long hi) const
    {
        if (!j_.is_number_integer())
            fail("must be a whole number");
        long long v;
        if (j_.is_number_unsigned()) {
            const auto u = j_.get<unsigned long long>();
            if (u > static_cast<unsigned long long>(hi))
                fail("must be within " + std::to_string(lo) + " .. " + std::to_string(hi));
            v = static_cast<long long>(u);
        } else {
            v = j_.get<long long>();
        }
        if (v < lo || v > hi)
            fail("must be within " + std::to_string(lo) + " .. " + std::to_string(hi) + ", got " +
                 std::to_string(v));
        return v;
    }
    bool boolean() const
    {
        if (!j_.is_boolean())
            fail("must be true or false");
        return j_.get<bool>();
    }
    std::string text() const
    {
        if (!j_.is_string())
            fail("must be a text");
        return j_.get<std::string>();
    }

    double numberOr(const char *key, double def, double lo, double hi) const
    {
        return has(key) ? at(key).number(lo, hi) : def;
    }
    long long integerOr(const char *key, long long def, long long lo, long long hi) const
    {
        return has(key) ? at(key).integer(lo, hi) : def;
    }

private:
    static std::string fmt(double v) { return PlainGeneral(v); }
    std::string child(const std::string &key) const { return path_.empty() ? key : path_ + "." + key; }
    const json &j_;
    std::string path_;
};

ProbeKind parseKind(const Node &n)
{
    const std::string k = n.text();
    if (k == "root")
        return ProbeKind::Root;
    if (k == "tip")
        return ProbeKind::Tip;
    n.fail("must be \"root\" or \"tip\", got \"" + k + "\"");
}

void parseDate(const Node &n, Scenario &s)
{
    const std::string t = n.text();
    int y, m, d;
    char tail;
    if (std::sscanf(t.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || y < 1900 || y > 2099 || m < 1 ||
        m > 12 || d < 1 || d > 31)
        n.fail("must be a date YYYY-MM-DD, got \"" + t + "\"");
    s.year = y;
    s.month = m;
    s.day = d;
}

void parseTimeOfDay(const Node &n, Scenario &s)
{
    const std::string t = n.text();
    int h, m, used = 0;
    char tail;
    // The seconds through from_chars: sscanf's %lf would take the locale's separator.
    const bool hm = std::sscanf(t.c_str(), "%2d:%2d:%n%c", &h, &m, &used, &tail) == 3;
    const std::optional<double> sec = hm ? ParsePlainNumber(std::string_view(t).substr(used)) : std::nullopt;
    if (!sec || h < 0 || h > 23 || m < 0 || m > 59 || !(*sec >= 0 && *sec < 60))
        n.fail("must be a time of day HH:MM:SS, got \"" + t + "\"");
    s.startSecondOfDay = h * 3600.0 + m * 60.0 + *sec;
}

StageSpec parseStage(const Node &n, std::uint64_t seed, std::size_t index)
{
    n.requireObject({"name", "blades", "diameter_mm", "pitch_irregularity", "pitch_seed", "type",
                     "static_coeff", "mistuning", "probes", "pairs", "resonances", "stall", "flutter",
                     "signature_probe"});
    StageSpec st;
    st.name = n.has("name") ? n.at("name").text() : "St" + std::to_string(index + 1);
    st.blades = static_cast<int>(n.at("blades").integer(1, 255));
    st.diameterMm = n.at("diameter_mm").number(1, 100000);
    st.pitchIrregularity = n.numberOr("pitch_irregularity", 0.02, 0, 0.3);
    st.pitchSeed = static_cast<std::uint64_t>(
        n.integerOr("pitch_seed", static_cast<long long>((seed * 7919 + index) & 0x7FFFFFFF), 0, INT64_MAX));
    if (n.has("type")) {
        const std::string t = n.at("type").text();
        if (t != "free" && t != "shrouded")
            n.at("type").fail("must be \"free\" or \"shrouded\"");
        st.shrouded = t == "shrouded";
    }
    st.staticCoeff = n.numberOr("static_coeff", 0, -1e-3, 1e-3);
    st.mistuning = n.numberOr("mistuning", 0, 0, 0.2);
    for (const Node &p : n.at("probes").items()) {
        p.requireObject({"name", "channel", "kind", "angle_deg"});
        ProbeSpec pr;
        pr.name = p.at("name").text();
        pr.channel = static_cast<int>(p.at("channel").integer(1, 64));
        pr.kind = parseKind(p.at("kind"));
        pr.angleDeg = p.at("angle_deg").number(-360, 360);
        st.probes.push_back(pr);
    }
    for (const Node &p : n.at("pairs").items()) {
        p.requireObject({"name", "root", "tip"});
        st.pairs.push_back({p.at("name").text(), p.at("root").text(), p.at("tip").text()});
    }
    if (n.has("resonances")) {
        for (const Node &r : n.at("resonances").items()) {
            r.requireObject({"eo", "natural_hz", "damping", "forcing_mm"});
            ResonanceSpec rs;
            rs.engineOrder = static_cast<int>(r.at("eo").integer(1, 200));
            rs.naturalHz = r.at("natural_hz").number(0.1, 1e6);
            rs.damping = r.numberOr("damping", 0.01, 1e-4, 1);
            rs.forcingMm = r.at("forcing_mm").number(0, 100);
            st.resonances.push_back(rs);
        }
    }
    if (n.has("stall")) {
        const Node sn = n.at("stall");
        sn.requireObject({"freq_hz", "amplitude_mm", "modulation_period_s", "nodal_diameters",
                          "modulation_depth", "drift_hz_per_s", "from_s", "to_s"});
        StallSpec sp;
        sp.freqHz = sn.at("freq_hz").number(0.1, 1e6);
        sp.amplitudeMm = sn.at("amplitude_mm").number(0, 100);
        sp.modulationPeriodS = sn.numberOr("modulation_period_s", 5, 0.01, 1e6);
        sp.nodalDiameters = static_cast<int>(sn.integerOr("nodal_diameters", 0, -127, 127));
        sp.modulationDepth = sn.numberOr("modulation_depth", 0.5, 0, 1);
        sp.driftHzPerS = sn.numberOr("drift_hz_per_s", 0, -1e5, 1e5);
        if (sn.has("from_s"))
            sp.fromS = sn.at("from_s").number(0, 1e6);
        if (sn.has("to_s"))
            sp.toS = sn.at("to_s").number(0, 1e6);
        st.stall = sp;
    }
    if (n.has("flutter")) {
        const Node fn = n.at("flutter");
        fn.requireObject({"natural_hz", "amplitude_mm", "nodal_diameter", "from_s", "to_s"});
        FlutterSpec fl;
        fl.naturalHz = fn.at("natural_hz").number(0.1, 1e6);
        fl.amplitudeMm = fn.at("amplitude_mm").number(0, 100);
        fl.nodalDiameter = static_cast<int>(fn.integerOr("nodal_diameter", 0, -127, 127));
        fl.fromS = fn.numberOr("from_s", 0, 0, 1e6);
        if (fn.has("to_s"))
            fl.toS = fn.at("to_s").number(0, 1e6);
        st.flutter = fl;
    }
    if (n.has("signature_probe"))
        st.signatureProbe = n.at("signature_probe").text();
    return st;
}

} // namespace

Scenario parseScenario(std::string_view text, const std::filesystem::path &file)
{
    json doc;
    try {
        doc = json::parse(text.begin(), text.end());
    } catch (const json::exception &e) {
        throw FormatError(file.empty() ? std::filesystem::path("scenario") : file,
                          std::string("not a valid JSON scenario: ") + e.what());
    }
    const Node root(doc, "");
    if (!doc.is_object())
        throw ValueError("scenario: the top level must be an object");
    root.requireObject({"name", "seed", "recorder_code", "start_ticks", "duration_s", "speed", "tacho",
                        "time_code", "date", "start_time", "stages", "faults", "analysis", "truth_every",
                        "response"});
    Scenario s;
    if (root.has("name"))
        s.name = root.at("name").text();
    s.seed = static_cast<std::uint64_t>(root.integerOr("seed", 1, 0, INT64_MAX));
    s.recorderCode = static_cast<int>(root.integerOr("recorder_code", 1200, 0, 65535));
    s.startTicks = static_cast<std::uint32_t>(root.integerOr("start_ticks", 0, 0, 4294967295LL));
    s.durationS = root.at("duration_s").number(0.01, 1e6);
    if (root.has("date"))
        parseDate(root.at("date"), s);
    if (root.has("start_time"))
        parseTimeOfDay(root.at("start_time"), s);

    const Node sp = root.at("speed");
    sp.requireObject({"points", "steady_rpm", "drift_rpm"});
    if (sp.has("points")) {
        if (sp.has("steady_rpm"))
            sp.fail("give either points or steady_rpm, not both");
        for (const Node &p : sp.at("points").items()) {
            const auto xy = p.items();
            if (xy.size() != 2)
                p.fail("must be [time_s, rpm]");
            s.speed.push_back({xy[0].number(), xy[1].number()});
        }
    } else {
        const double rpm = sp.at("steady_rpm").number();
        const double drift = sp.numberOr("drift_rpm", 0, -1e5, 1e5);
        s.speed = {{0, rpm}, {s.durationS, rpm + drift}};
    }

    if (root.has("tacho")) {
        const Node t = root.at("tacho");
        t.requireObject({"mode", "divisor", "channel", "name"});
        const std::string mode = t.has("mode") ? t.at("mode").text() : "divisor";
        if (mode == "signature")
            s.tacho.mode = TachoMode::Signature;
        else if (mode != "divisor")
            t.at("mode").fail("must be \"divisor\" or \"signature\"");
        s.tacho.divisor = static_cast<int>(t.integerOr("divisor", 1, 1, 254));
        s.tacho.channel = static_cast<int>(t.integerOr("channel", 1, 1, 64));
        if (t.has("name"))
            s.tacho.name = t.at("name").text();
    }
    if (root.has("time_code")) {
        const Node t = root.at("time_code");
        t.requireObject({"kind", "channel", "name"});
        const std::string kind = t.at("kind").text();
        if (kind == "sev")
            s.timeCode.kind = TimeCodeKind::Sev;
        else if (kind == "irig-b")
            s.timeCode.kind = TimeCodeKind::IrigB;
        else if (kind != "none")
            t.at("kind").fail("must be \"sev\", \"irig-b\" or \"none\"");
        if (s.timeCode.kind != TimeCodeKind::None)
            s.timeCode.channel = static_cast<int>(t.at("channel").integer(1, 64));
        if (t.has("name"))
            s.timeCode.name = t.at("name").text();
    }
    const auto stages = root.at("stages").items();
    for (std::size_t i = 0; i < stages.size(); ++i)
        s.stages.push_back(parseStage(stages[i], s.seed, i));
    if (root.has("faults")) {
        const Node f = root.at("faults");
        f.requireObject({"missing_probability", "extra_per_second", "jitter_ns"});
        s.faults.missingProbability = f.numberOr("missing_probability", 0, 0, 0.5);
        s.faults.extraPerSecond = f.numberOr("extra_per_second", 0, 0, 1e5);
        s.faults.jitterNs = f.numberOr("jitter_ns", 0, 0, 200);
    }
    if (root.has("analysis")) {
        const Node a = root.at("analysis");
        a.requireObject({"mode", "dN", "range"});
        if (a.has("mode")) {
            const std::string m = a.at("mode").text();
            if (m != "dynamic" && m != "steady")
                a.at("mode").fail("must be \"dynamic\" or \"steady\"");
            s.analysis.steady = m == "steady";
        }
        s.analysis.dN = a.numberOr("dN", 50, 0, 1e6);
        if (a.has("range")) {
            const auto r = a.at("range").items();
            if (r.size() != 2)
                a.at("range").fail("must be [from_s, to_s]");
            s.analysis.rangeFrom = r[0].number();
            s.analysis.rangeTo = r[1].number();
        }
    }
    s.truthEvery = static_cast<int>(root.integerOr("truth_every", 1, 1, 1000000));
    if (root.has("response")) {
        const std::string r = root.at("response").text();
        if (r != "steady" && r != "transient")
            root.at("response").fail("must be \"steady\" or \"transient\"");
        s.response = r == "transient" ? ResponseKind::Transient : ResponseKind::Steady;
    }
    validateScenario(s);
    return s;
}

Scenario loadScenarioFile(const std::filesystem::path &file)
{
    const auto bytes = readWholeFile(file, 16u << 20);
    return parseScenario(std::string_view(reinterpret_cast<const char *>(bytes.data()), bytes.size()), file);
}

} // namespace vibrolan::sim
