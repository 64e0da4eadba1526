// The analysis configuration as plain Python data (nested dicts and lists,
// which the package turns into dataclasses) and back. Fields the dicts do
// not carry keep the values of the file the configuration came from.
#include "bindings.hpp"

#include "base/errors.hpp"
#include "config/cfg_dfm.hpp"
#include "python_config.hpp"

#include <pybind11/stl.h>

#include <cmath>
#include <functional>
#include <limits>

namespace vibrolan::python {

namespace {

// One scalar setting of the configuration under its own name.
struct Setting {
    const char *name;
    std::function<py::object(const TCfgDfm &)> get;
    std::function<void(TCfgDfm &, const py::handle &)> set;
};

template <class T> T number(const py::handle &v, const char *what, double lo, double hi)
{
    if (!py::isinstance<py::int_>(v) && !py::isinstance<py::float_>(v) && !py::isinstance<py::bool_>(v))
        throw ValueError(std::string(what) + " must be a number");
    const double d = v.cast<double>();
    if (!std::isfinite(d) || d < lo || d > hi)
        throw ValueError(std::string(what) + " must lie in " + std::to_string(lo) + " .. " +
                         std::to_string(hi));
    if constexpr (std::is_integral_v<T>) {
        if (d != std::floor(d))
            throw ValueError(std::string(what) + " must be a whole number");
    }
    return static_cast<T>(d);
}

template <class T> T whole(const py::handle &v, const char *what)
{
    return number<T>(v, what, static_cast<double>(std::numeric_limits<T>::min()),
                     static_cast<double>(std::numeric_limits<T>::max()));
}

double real(const py::handle &v, const char *what)
{
    return number<double>(v, what, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
}

float single(const py::handle &v, const char *what)
{
    return number<float>(v, what, -std::numeric_limits<float>::max(), std::numeric_limits<float>::max());
}

std::string text(const py::handle &v, const char *what)
{
    if (!py::isinstance<py::str>(v))
        throw ValueError(std::string(what) + " must be a str");
    return v.cast<std::string>();
}

#define VIBROLAN_REAL(field)                                                                                 \
    Setting                                                                                                  \
    {                                                                                                        \
#field, [](const TCfgDfm &c) { return py::object(py::float_(static_cast<double>(c.field))); },       \
            [](TCfgDfm &c, const py::handle &v) { c.field = static_cast<decltype(c.field)>(real(v, #field)); }       \
    }
#define VIBROLAN_WHOLE(field)                                                                                \
    Setting                                                                                                  \
    {                                                                                                        \
#field, [](const TCfgDfm &c) { return py::object(py::int_(c.field)); },                             \
            [](TCfgDfm &c, const py::handle &v) { c.field = whole<decltype(c.field)>(v, #field); }        \
    }
#define VIBROLAN_FLAG(field)                                                                                 \
    Setting                                                                                                  \
    {                                                                                                        \
#field, [](const TCfgDfm                                                                             \
                       &c) { return py::object(py::bool_(c.field)); },                                       \
                                                                    [](TCfgDfm & c,                          \
                                                                       const py::handle                      \
                                                                           &v) { c.field = v.cast<bool>(); } \
    }
#define VIBROLAN_TEXT(field)                                                                                 \
    Setting                                                                                                  \
    {                                                                                                        \
#field, [](const TCfgDfm &                                                                           \
                       c) { return py::object(py::str(c.field)); }, [](TCfgDfm & c,                          \
                                                                       const py::handle &                    \
                                                                           v) { c.field = text(v, #field); } \
    }

const std::vector<Setting> &settings()
{
    static const std::vector<Setting> table = {
        VIBROLAN_REAL(dN),
        VIBROLAN_REAL(LoTaho),
        VIBROLAN_REAL(HiTaho),
        VIBROLAN_WHOLE(thNumPoint),
        VIBROLAN_REAL(LoAmpl),
        VIBROLAN_REAL(HiAmpl),
        VIBROLAN_WHOLE(mgNumPoint),
        VIBROLAN_WHOLE(Method),
        VIBROLAN_REAL(NomRotation),
        VIBROLAN_REAL(c),
        VIBROLAN_REAL(b1),
        VIBROLAN_REAL(b2),
        VIBROLAN_REAL(f2),
        VIBROLAN_REAL(f3),
        VIBROLAN_REAL(f4),
        VIBROLAN_REAL(g1),
        VIBROLAN_REAL(g2),
        VIBROLAN_REAL(g3),
        VIBROLAN_REAL(g4),
        VIBROLAN_REAL(g5),
        VIBROLAN_REAL(h1),
        VIBROLAN_REAL(h4),
        VIBROLAN_REAL(h5),
        VIBROLAN_FLAG(RunTahoByBlade),
        VIBROLAN_FLAG(UseGates),
        VIBROLAN_TEXT(NmGates),
        VIBROLAN_TEXT(NmPopravk),
        VIBROLAN_TEXT(NmSnom),
        VIBROLAN_TEXT(NmXnom),
        VIBROLAN_TEXT(NmSnomFree),
        VIBROLAN_TEXT(NmSource),
        VIBROLAN_TEXT(NmTarget),
        VIBROLAN_TEXT(NmMessage),
        VIBROLAN_TEXT(NmHolder),
        VIBROLAN_TEXT(ReportFile),
        Setting{"Range_From", [](const TCfgDfm &c) { return py::object(py::float_(c.Range._From)); },
                [](TCfgDfm &c, const py::handle &v) { c.Range._From = real(v, "Range_From"); }},
        Setting{"Range_To", [](const TCfgDfm &c) { return py::object(py::float_(c.Range._To)); },
                [](TCfgDfm &c, const py::handle &v) { c.Range._To = real(v, "Range_To"); }},
    };
    return table;
}

py::dict sensorDict(const TSensor &s)
{
    py::dict d;
    d["name"] = s.NameSensor;
    d["channel"] = s.Chan + 1;
    d["type"] = static_cast<int>(s.TypeSensor);
    d["first_blade"] = s.firstbld + 1;
    return d;
}

py::dict pairDict(const TPair &p)
{
    py::dict d;
    d["name"] = p.NamePair;
    d["root"] = p.Root;
    d["tip"] = p.Peak;
    d["fi"] = static_cast<double>(p.fi);
    d["base"] = static_cast<double>(p.Base);
    d["tacho_shift"] = static_cast<double>(p.TachoShift);
    d["skip_blade"] = p.SkipBlade;
    d["checked"] = p.Checked;
    return d;
}

py::dict stageDict(const TStage &s)
{
    py::dict d;
    d["name"] = s.NameStage;
    d["type"] = static_cast<int>(s.TypeStage);
    d["diameter_mm"] = s.Diametr;
    d["blade_count"] = s.CountBlade;
    d["calibration_blades"] = s.CountCalibrBlade;
    d["calibre_mm"] = static_cast<double>(s.CalibrLength);
    d["reverse_numbering"] = s.OrderBlade;
    d["resonance_bottom"] = s.FResonance.Bottom;
    d["resonance_delta_top"] = s.FResonance.DeltaTop;
    d["tacho_sensor"] = s.TachoComb.sensNumber;
    d["tacho_divisor"] = s.TachoComb.divisor;
    d["KfSigma"] = static_cast<double>(s.KfSigma);
    d["Q"] = static_cast<double>(s.Q);
    d["LimStressResonance"] = static_cast<double>(s.LimStressResonance);
    d["LimStressStill"] = static_cast<double>(s.LimStressStill);
    d["CfResonance"] = static_cast<double>(s.CfResonance);
    d["CfStill"] = static_cast<double>(s.CfStill);
    d["BIn"] = static_cast<double>(s.BIn);
    d["BOut"] = static_cast<double>(s.BOut);
    d["f1"] = static_cast<double>(s.f1);
    py::list pairs;
    for (std::size_t p = 0; p < std::min<std::size_t>(s.CountPairs, kMaxPairs); ++p)
        pairs.append(pairDict(s.Pairs[p]));
    d["pairs"] = pairs;
    return d;
}

py::dict at(const py::handle &d, const char *what)
{
    if (!py::isinstance<py::dict>(d))
        throw ValueError(std::string(what) + " must be a dict");
    return py::reinterpret_borrow<py::dict>(d);
}

py::list listAt(const py::dict &d, const char *key, std::size_t max)
{
    if (!d.contains(key))
        throw ValueError(std::string("the configuration has no \"") + key + "\"");
    const py::object v = d[key];
    if (!py::isinstance<py::list>(v) && !py::isinstance<py::tuple>(v))
        throw ValueError(std::string("\"") + key + "\" must be a list");
    const py::list l = py::list(v);
    if (l.size() > max)
        throw ValueError(std::string("at most ") + std::to_string(max) + " " + key + ", got " +
                         std::to_string(l.size()));
    return l;
}

void applySensor(TSensor &s, const py::dict &d)
{
    s.NameSensor = text(d["name"], "sensor name");
    s.Chan = static_cast<std::uint8_t>(number<int>(d["channel"], "sensor channel", 1, 256) - 1);
    s.TypeSensor = static_cast<TTypeSensor>(number<int>(d["type"], "sensor type", 0, 8));
    s.firstbld = static_cast<std::uint8_t>(number<int>(d["first_blade"], "sensor first_blade", 1, 256) - 1);
}

void applyPair(TPair &p, const py::dict &d, std::size_t sensors)
{
    p.NamePair = text(d["name"], "pair name");
    const double last = sensors > 0 ? static_cast<double>(sensors - 1) : 0.0;
    p.Root = number<std::uint16_t>(d["root"], "pair root (sensor index)", 0, last);
    p.Peak = number<std::uint16_t>(d["tip"], "pair tip (sensor index)", 0, last);
    p.fi = single(d["fi"], "pair fi");
    p.Base = single(d["base"], "pair base");
    p.TachoShift = single(d["tacho_shift"], "pair tacho_shift");
    p.SkipBlade = whole<std::uint16_t>(d["skip_blade"], "pair skip_blade");
    p.Checked = d["checked"].cast<bool>();
}

void applyStage(TStage &s, const py::dict &d, std::size_t sensors)
{
    s.NameStage = text(d["name"], "stage name");
    s.TypeStage = static_cast<TTypeStage>(number<int>(d["type"], "stage type", 0, 3));
    s.Diametr = real(d["diameter_mm"], "stage diameter_mm");
    s.CountBlade = number<std::uint16_t>(d["blade_count"], "stage blade_count", 0, kMaxBlades);
    s.CountCalibrBlade = whole<std::uint16_t>(d["calibration_blades"], "stage calibration_blades");
    s.CalibrLength = single(d["calibre_mm"], "stage calibre_mm");
    s.OrderBlade = d["reverse_numbering"].cast<bool>();
    s.FResonance.Bottom = real(d["resonance_bottom"], "stage resonance_bottom");
    s.FResonance.DeltaTop = real(d["resonance_delta_top"], "stage resonance_delta_top");
    s.TachoComb.sensNumber = whole<std::uint8_t>(d["tacho_sensor"], "stage tacho_sensor");
    s.TachoComb.divisor = whole<std::uint8_t>(d["tacho_divisor"], "stage tacho_divisor");
    s.KfSigma = single(d["KfSigma"], "stage KfSigma");
    s.Q = single(d["Q"], "stage Q");
    s.LimStressResonance = single(d["LimStressResonance"], "stage LimStressResonance");
    s.LimStressStill = single(d["LimStressStill"], "stage LimStressStill");
    s.CfResonance = single(d["CfResonance"], "stage CfResonance");
    s.CfStill = single(d["CfStill"], "stage CfStill");
    s.BIn = single(d["BIn"], "stage BIn");
    s.BOut = single(d["BOut"], "stage BOut");
    s.f1 = single(d["f1"], "stage f1");
    const py::list pairs = listAt(d, "pairs", kMaxPairs);
    s.CountPairs = static_cast<std::uint16_t>(pairs.size());
    for (std::size_t p = 0; p < pairs.size(); ++p)
        applyPair(s.Pairs[p], at(pairs[p], "a pair"), sensors);
}

} // namespace

py::dict ConfigToDict(const TCfgDfm &cfg)
{
    py::dict d;
    d["recording"] = cfg.FileName;
    d["mode"] = static_cast<int>(cfg.Mode);
    py::dict s;
    for (const auto &setting : settings())
        s[setting.name] = setting.get(cfg);
    d["settings"] = s;
    py::list sensors;
    for (std::size_t i = 0; i < std::min<std::size_t>(cfg.CountSensors, kMaxSensors); ++i)
        sensors.append(sensorDict(cfg.Sensors[i]));
    d["sensors"] = sensors;
    py::list stages;
    for (std::size_t i = 0; i < std::min<std::size_t>(cfg.CountStage, kMaxStages); ++i)
        stages.append(stageDict(cfg.Stages[i]));
    d["stages"] = stages;
    return d;
}

void ApplyDict(TCfgDfm &cfg, const py::handle &dict)
{
    const py::dict d = at(dict, "the configuration");
    // A bad value throws; the caller's configuration is a fresh one and is dropped.
    cfg.FileName = text(d["recording"], "recording");
    cfg.Mode = static_cast<TMode>(number<int>(d["mode"], "mode", 0, 1));
    const py::dict s = at(d["settings"], "settings");
    for (const auto &[key, value] : s) {
        const std::string name = py::str(key);
        const auto &table = settings();
        const auto it =
            std::find_if(table.begin(), table.end(), [&](const Setting &x) { return name == x.name; });
        if (it == table.end())
            throw ValueError("unknown setting \"" + name + "\"");
        it->set(cfg, value);
    }
    const py::list sensors = listAt(d, "sensors", kMaxSensors);
    cfg.CountSensors = static_cast<std::uint16_t>(sensors.size());
    for (std::size_t i = 0; i < sensors.size(); ++i)
        applySensor(cfg.Sensors[i], at(sensors[i], "a sensor"));
    const py::list stages = listAt(d, "stages", kMaxStages);
    cfg.CountStage = static_cast<std::uint16_t>(stages.size());
    for (std::size_t i = 0; i < stages.size(); ++i)
        applyStage(cfg.Stages[i], at(stages[i], "a stage"), sensors.size());
}

void LoadBase(TCfgDfm &cfg, const py::handle &source)
{
    cfg.InitDefault();
    if (!source.is_none())
        cfg.LoadFromFile(toPath(source));
    cfg.TypeFile = 0;
}

void defineConfig(py::module_ &m)
{
    m.def(
        "load_config",
        [](const py::handle &path) {
            TCfgDfm cfg;
            LoadBase(cfg, path);
            return ConfigToDict(cfg);
        },
        py::arg("path"));
    m.def(
        "save_config",
        [](const py::handle &dict, const py::handle &path, const py::handle &source) {
            TCfgDfm cfg;
            LoadBase(cfg, source);
            ApplyDict(cfg, dict);
            const std::filesystem::path file = toPath(path);
            if (!file.has_extension())
                throw ValueError(file.string() + ": a configuration file needs an extension (.lfm)");
            CollectingSink sink;
            cfg.SaveToFile(file, sink);
            // The only notice of a save is the refusal of a read-only file.
            if (const py::list notices = sink.take(); !notices.empty())
                throw FileError(file, "cannot write: the file is read-only");
        },
        py::arg("config"), py::arg("path"), py::arg("source") = py::none());
}

} // namespace vibrolan::python
