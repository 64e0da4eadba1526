// simulate: the recording simulator on a preset name or a scenario given as
// a dict (the JSON scenario format), with the GIL released.
#include "bindings.hpp"

#include "base/errors.hpp"
#include "sim/scenario.hpp"
#include "sim/simulator.hpp"

#include <pybind11/stl.h>

namespace vibrolan::python {

namespace {

py::dict simulate(const py::object &scenario, const py::handle &outDir,
                  const std::optional<std::string> &name, const std::optional<std::uint64_t> &seed,
                  double scale, bool bldx, bool truth)
{
    sim::Scenario sc;
    if (py::isinstance<py::str>(scenario)) {
        sc = sim::preset(scenario.cast<std::string>());
    } else if (py::isinstance<py::dict>(scenario)) {
        const std::string json = py::module_::import("json").attr("dumps")(scenario).cast<std::string>();
        sc = sim::parseScenario(json);
    } else {
        throw ValueError("a scenario is a preset name or a dict of the JSON scenario format");
    }
    if (scale != 1.0) {
        if (!(scale > 0) || scale > 1000)
            throw ValueError("scale needs a positive factor up to 1000");
        sc = sim::scaledDuration(sc, scale);
    }
    sim::SimulationOptions opt;
    opt.outDir = toPath(outDir);
    opt.name = name.value_or("");
    opt.seed = seed;
    opt.bldx = bldx;
    opt.truth = truth;
    sim::SimulationResult r;
    {
        const py::gil_scoped_release release;
        r = sim::simulate(sc, opt);
    }
    auto path = [](const std::filesystem::path &p) -> py::object {
        return p.empty() ? py::object(py::none()) : py::object(py::str(p.string()));
    };
    py::dict d;
    d["recording"] = path(r.bld);
    d["compressed"] = path(r.bldx);
    d["config"] = path(r.lfm);
    d["truth"] = path(r.truth);
    py::list signatures;
    for (const auto &s : r.signatures)
        signatures.append(s.string());
    d["signatures"] = signatures;
    d["records"] = r.records;
    d["seconds"] = r.seconds;
    py::list pairs;
    for (const auto &p : r.pairs) {
        py::dict e;
        e["stage"] = p.stage;
        e["pair"] = p.pair;
        e["accepted"] = p.accepted;
        e["rejected"] = p.rejected;
        e["faulty"] = p.faulty;
        pairs.append(e);
    }
    d["pairs"] = pairs;
    return d;
}

} // namespace

void defineSimulate(py::module_ &m)
{
    m.def("simulate", &simulate, py::arg("scenario"), py::arg("out_dir"), py::arg("name") = py::none(),
          py::arg("seed") = py::none(), py::arg("scale") = 1.0, py::arg("bldx") = false,
          py::arg("truth") = true);
    m.def("preset_names", &sim::presetNames);
}

} // namespace vibrolan::python
