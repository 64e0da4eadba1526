// Pieces shared by the parts of the vibrolan Python module.
#pragma once

#include "base/message_sink.hpp"

#include <pybind11/pybind11.h>

#include <filesystem>
#include <string>
#include <vector>

namespace vibrolan::python {

namespace py = pybind11;

// A str or os.PathLike as a path (UTF-8).
std::filesystem::path toPath(const py::handle &p);

// Keeps the messages a long operation would have shown and answers them as a
// batch run does (the first button's affirmative choice).
class CollectingSink final : public MessageSink {
public:
    Answer show(const Message &message) override;
    // [(caption, text), ...]
    py::list take() const;

private:
    std::vector<Message> messages_;
};

void defineRecording(py::module_ &m);
void defineConfig(py::module_ &m);
void defineRun(py::module_ &m);
void defineSimulate(py::module_ &m);

} // namespace vibrolan::python
