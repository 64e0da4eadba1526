// analyze: the processing run as the command line runs it, with the GIL
// released; the result keeps the run's configuration (and so its series)
// alive and hands the series to NumPy as views of the run's own storage.
#include "bindings.hpp"
#include "python_config.hpp"

#include "base/errors.hpp"
#include "export/data_file_input.hpp"
#include "export/pair_save.hpp"
#include "export/run_hdf5.hpp"
#include "identify/result_tables.hpp"
#include "identify/run_identification.hpp"
#include "output/report.hpp"
#include "recording/angle_gates.hpp"
#include "run/processing_run.hpp"

#include <pybind11/functional.h>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <variant>

namespace vibrolan::python {

namespace {

struct RunOutput {
    std::unique_ptr<TCfgDfm> cfg = std::make_unique<TCfgDfm>();
    TRunResult run;
    std::vector<std::string> report;
    py::list messages;
    std::filesystem::path configFile;
    bool dataInput = false;
    // The identification of the run, made on first request.
    std::optional<identify::RunIdentification> identification;

    const TStage &stage(int s) const
    {
        if (s < 0 || s >= std::min<int>(cfg->CountStage, kMaxStages))
            throw py::index_error("no stage " + std::to_string(s));
        return cfg->Stages[static_cast<std::size_t>(s)];
    }
    const TPair &pair(int s, int p) const
    {
        const TStage &st = stage(s);
        if (p < 0 || p >= std::min<int>(st.CountPairs, kMaxPairs))
            throw py::index_error("no pair " + std::to_string(p) + " in stage " + std::to_string(s));
        return st.Pairs[static_cast<std::size_t>(p)];
    }
};

// Calls the Python progress function, at most once per percent and phase,
// and lets Ctrl+C (a pending signal) end the run at the same moments.
class ProgressRelay {
public:
    explicit ProgressRelay(py::object fn) : fn_(std::move(fn)) {}
    void operator()(const std::string &phase, std::int64_t done, std::int64_t total)
    {
        const int pct =
            total > 0 ? static_cast<int>(100 * std::clamp<std::int64_t>(done, 0, total) / total) : -1;
        if (phase == phase_ && pct == pct_)
            return;
        phase_ = phase;
        pct_ = pct;
        const py::gil_scoped_acquire gil;
        if (PyErr_CheckSignals() != 0)
            throw py::error_already_set();
        if (!fn_.is_none())
            fn_(phase, done, total); // an exception raised there ends the run
    }

private:
    py::object fn_;
    std::string phase_;
    int pct_ = -2;
};

std::shared_ptr<RunOutput> analyze(const py::handle &config, const py::handle &source,
                                   const py::handle &recording, const std::vector<py::object> &data,
                                   const py::object &progress)
{
    auto out = std::make_shared<RunOutput>();
    TCfgDfm &cfg = *out->cfg;
    LoadBase(cfg, source);
    if (!config.is_none())
        ApplyDict(cfg, config);
    if (!recording.is_none())
        cfg.FileName = toPath(recording).string();
    out->configFile = source.is_none() ? std::filesystem::path() : toPath(source);
    std::vector<std::filesystem::path> dataFiles;
    for (const auto &d : data)
        dataFiles.push_back(toPath(d));
    if (!dataFiles.empty() && !recording.is_none())
        throw ValueError("a recording and data files are two kinds of input; give one of them");
    out->dataInput = !dataFiles.empty();

    CollectingSink sink;
    ProgressRelay relay(progress);
    TBladeReport report;
    const NumberFormat fmt{};
    {
        const py::gil_scoped_release release;
        if (!dataFiles.empty()) {
            DataFileEnv env;
            env.numberFormat = fmt;
            OpenRequiredDataFiles(cfg, dataFiles, sink, env);
        }
        TAngleGates gates;
        if (cfg.UseGates && !cfg.NmGates.empty())
            gates.File2Gates(TGateMode::New, cfg.NmGates);
        TRunCallbacks cb;
        std::string phase = "run";
        cb.phase = [&](std::string_view caption) {
            phase = caption.empty() ? "run" : std::string(caption);
            relay(phase, 0, 0);
        };
        cb.pass = [&](std::int64_t total, std::int64_t pos, double, double, double) {
            relay("pass", pos, total);
        };
        cb.unpack = [&](std::int64_t done, std::int64_t total) { relay("unpacking", done, total); };
        cb.blade = [&](std::uint16_t blade) { relay("blade", blade, 0); };
        cb.report = [&](const TCfgDfm &c) {
            report.Clear();
            report.GenerateReport(c, fmt);
        };
        TRunInputs inputs;
        inputs.CfgFileName = out->configFile;
        inputs.Gates = &gates;
        out->run = ProcessingRun(cfg, inputs, sink, fmt, cb);
    }
    out->messages = sink.take();
    if (out->run.status == TRunStatus::NoRecording)
        throw FileError(cfg.FileName, "the recording does not exist");
    out->report = report.Lines();
    return out;
}

// A read-only 1-D float view of `n` values at `data`, kept alive by `owner`.
template <class T> py::object view(const T *data, std::size_t n, const py::object &owner)
{
    py::array_t<T> a({static_cast<py::ssize_t>(n)}, {static_cast<py::ssize_t>(sizeof(T))}, n ? data : nullptr,
                     owner);
    a.attr("setflags")(py::arg("write") = false);
    return a;
}

py::object pairSeries(const py::object &self, int s, int p, const std::string &name)
{
    const RunOutput &r = self.cast<const RunOutput &>();
    const TPair &pair = r.pair(s, p);
    const auto size = static_cast<std::size_t>(std::max(pair.Size, 0));
    auto take = [&](const auto &v) -> py::object {
        if (v.size() < size)
            return py::none();
        return view(v.data(), size, self);
    };
    if (name == "time_s")
        return take(pair.Time);
    if (name == "speed_rpm")
        return take(pair.Freq);
    if (name == "time_of_day_s")
        return HasTimeCode(*r.cfg) ? take(pair.UTS_Time) : py::none();
    throw py::key_error(name);
}

py::object bladeSeries(const py::object &self, int s, int p, const std::string &name, int b)
{
    const RunOutput &r = self.cast<const RunOutput &>();
    const TStage &st = r.stage(s);
    const TPair &pair = r.pair(s, p);
    if (b < 0 || b >= st.CountBlade)
        throw py::index_error("no blade slot " + std::to_string(b));
    const auto size = static_cast<std::size_t>(std::max(pair.Size, 0));
    const auto blade = static_cast<std::size_t>(b);
    std::span<const float> v;
    if (name == "ampl")
        v = pair.AmplSeries(blade);
    else if (name == "middle_line")
        v = pair.MiddleLine[blade];
    else if (name == "velocity")
        v = pair.Velocity[blade];
    else if (name == "stress")
        v = pair.Stress[blade];
    else if (name == "resonance_curve")
        v = pair.ResonanceCurve[blade];
    else if (name == "stall_oscillation")
        v = pair.StallingOscill[blade];
    else
        throw py::key_error(name);
    if (v.size() < size)
        return py::none();
    return view(v.data(), size, self);
}

py::dict stageInfo(const RunOutput &r, int s)
{
    const TStage &st = r.stage(s);
    py::dict d;
    d["name"] = st.NameStage;
    d["type"] = static_cast<int>(st.TypeStage);
    d["diameter_mm"] = st.Diametr;
    d["blade_count"] = st.CountBlade;
    d["tacho_marks"] = r.run.RevCount[static_cast<std::size_t>(s)];
    return d;
}

py::dict pairInfo(const RunOutput &r, int s, int p)
{
    const TPair &pair = r.pair(s, p);
    auto sensor = [&](std::uint16_t i) {
        return i < kMaxSensors ? r.cfg->Sensors[i].NameSensor : std::string();
    };
    auto channel = [&](std::uint16_t i) { return i < kMaxSensors ? r.cfg->Sensors[i].Chan + 1 : 0; };
    py::dict d;
    d["name"] = pair.NamePair;
    d["fi"] = static_cast<double>(pair.fi);
    d["root_sensor"] = sensor(pair.Root);
    d["root_channel"] = channel(pair.Root);
    d["tip_sensor"] = sensor(pair.Peak);
    d["tip_channel"] = channel(pair.Peak);
    d["revolutions_accepted"] = std::max(pair.Size, 0);
    d["revolutions_rejected"] = pair.SizeOfBad;
    const std::size_t blades = std::min<std::size_t>(r.stage(s).CountBlade, kMaxBlades);
    auto stats = [&](const LazyArray<float, 256> &v) {
        return py::array_t<float>(static_cast<py::ssize_t>(blades), v.data());
    };
    d["mean"] = stats(pair.Mean);
    d["rms"] = stats(pair.RMS);
    d["min"] = stats(pair.lopmin);
    d["max"] = stats(pair.lopmax);
    return d;
}

// Runs the identification once (the GIL released), reporting to `progress`.
const identify::RunIdentification &identification(RunOutput &r, const py::object &progress)
{
    if (!r.identification) {
        ProgressRelay relay(progress);
        identify::RunIdentificationProgress p;
        p.resonances = [&](std::int64_t done, std::int64_t total) { relay("resonances", done, total); };
        p.asynchronous = [&](std::int64_t done, std::int64_t total) { relay("asynchronous", done, total); };
        const py::gil_scoped_release release;
        r.identification = identify::IdentifyRun(*r.cfg, p);
    }
    return *r.identification;
}

// Every table of the identification as (name, {column: array}, {column: unit}).
py::list identificationTables(RunOutput &r, const py::object &progress)
{
    py::list out;
    for (const identify::ResultTable &t : identify::IdentificationTables(identification(r, progress))) {
        py::dict columns, units;
        for (const identify::TableColumn &c : t.columns) {
            std::visit(
                [&](const auto &v) {
                    using V = std::remove_cvref_t<decltype(v)>;
                    if constexpr (std::is_same_v<V, identify::TableColumn::Flags>) {
                        py::array_t<bool> a(static_cast<py::ssize_t>(v.v.size()));
                        auto m = a.mutable_unchecked<1>();
                        for (std::size_t i = 0; i < v.v.size(); ++i)
                            m(static_cast<py::ssize_t>(i)) = v.v[i];
                        columns[c.name.c_str()] = a;
                    } else if constexpr (std::is_same_v<V, std::vector<std::string>>) {
                        columns[c.name.c_str()] = py::cast(v);
                    } else {
                        columns[c.name.c_str()] =
                            py::array_t<typename V::value_type>(static_cast<py::ssize_t>(v.size()), v.data());
                    }
                },
                c.values);
            units[c.name.c_str()] = c.units;
        }
        out.append(py::make_tuple(t.name, columns, units));
    }
    return out;
}

py::list identificationNotes(RunOutput &r)
{
    py::list notes;
    for (const std::string &n : identify::IdentificationNotes(identification(r, py::none())))
        notes.append(n);
    return notes;
}

} // namespace

void defineRun(py::module_ &m)
{
    py::class_<RunOutput, std::shared_ptr<RunOutput>>(m, "RunOutput", "The results of one processing run")
        .def_property_readonly("checked_pairs", [](const RunOutput &r) { return r.run.CheckedPairs; })
        .def_property_readonly(
            "stage_count", [](const RunOutput &r) { return std::min<int>(r.cfg->CountStage, kMaxStages); })
        .def_property_readonly("report_lines", [](const RunOutput &r) { return r.report; })
        .def_property_readonly("messages", [](const RunOutput &r) { return r.messages; })
        .def_property_readonly("tick_period", [](const RunOutput &r) { return r.run.TickPeriod; })
        .def_property_readonly("mode", [](const RunOutput &r) { return static_cast<int>(r.cfg->Mode); })
        .def("stage_info", &stageInfo)
        .def("pair_info", &pairInfo)
        .def("pair_series", &pairSeries)
        .def("blade_series", &bladeSeries)
        .def(
            "save_hdf5",
            [](RunOutput &r, const py::handle &path, const std::string &version, bool identify,
               const py::object &progress) {
                TRunHdf5Info info;
                if (identify)
                    info.Identification = &identification(r, progress);
                info.ProgramVersion = version;
                info.ConfigFile = r.configFile;
                info.RecordingFile =
                    r.dataInput ? std::filesystem::path() : std::filesystem::path(r.cfg->FileName);
                info.TickPeriod = r.run.TickPeriod;
                info.RevCount = r.run.RevCount;
                info.Pairs = r.run.CheckedPairs;
                const std::filesystem::path file = toPath(path);
                const py::gil_scoped_release release;
                SaveRunHdf5(*r.cfg, info, file);
            },
            py::arg("path"), py::arg("version"), py::arg("identify") = true, py::arg("progress") = py::none())
        .def("identification_tables", &identificationTables, py::arg("progress") = py::none())
        .def("identification_notes", &identificationNotes);
    m.def("analyze", &analyze, py::arg("config"), py::arg("source"), py::arg("recording"), py::arg("data"),
          py::arg("progress"));
}

} // namespace vibrolan::python
