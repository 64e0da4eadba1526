// The compiled half of the vibrolan Python package: the core's readers, the
// configuration, the processing run and the simulator. The package's
// __init__.py gives them their Python shape.
#include "bindings.hpp"

#include "base/errors.hpp"
#include "vibrolan/version.h"

namespace vibrolan::python {

std::filesystem::path toPath(const py::handle &p)
{
    const py::object text = py::module_::import("os").attr("fspath")(p);
    if (!py::isinstance<py::str>(text))
        throw py::type_error("a path must be a str or os.PathLike giving a str");
    return std::filesystem::path(text.cast<std::string>());
}

Answer CollectingSink::show(const Message &message)
{
    messages_.push_back(message);
    return affirmativeAnswer(message.buttons);
}

py::list CollectingSink::take() const
{
    py::list out;
    for (const auto &m : messages_)
        out.append(py::make_tuple(m.caption, m.text));
    return out;
}

} // namespace vibrolan::python

PYBIND11_MODULE(_core, m)
{
    using namespace vibrolan::python;
    m.doc() = "Vibrolan core: recordings, configurations, the processing run and the simulator";
    m.attr("__version__") = VIBROLAN_VERSION;
    // The program's typed errors arrive as the package's exception classes
    // (vibrolan.errors) with the program's messages; any other C++ exception
    // as RuntimeError.
    py::register_exception_translator([](std::exception_ptr p) {
        auto raise = [](const char *kind, const char *what) {
            const py::object type = py::module_::import("vibrolan.errors").attr(kind);
            PyErr_SetString(type.ptr(), what);
        };
        try {
            if (p)
                std::rethrow_exception(p);
        } catch (const vibrolan::FileError &e) {
            raise("FileError", e.what());
        } catch (const vibrolan::FormatError &e) {
            raise("FormatError", e.what());
        } catch (const vibrolan::ValueError &e) {
            raise("BadValueError", e.what());
        } catch (const vibrolan::Error &e) {
            raise("Error", e.what());
        }
    });
    defineRecording(m);
    defineConfig(m);
    defineRun(m);
    defineSimulate(m);
}
