// read_recording: the header and the pulse records of a recording. A .bld
// file is mapped read-only and its records are handed to NumPy in place; a
// .bldx file is unpacked once into memory that the array then refers to.
#include "bindings.hpp"

#include "recording/bldx_decoder.hpp"
#include "recording/recording_image.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <memory>

namespace vibrolan::python {

namespace {

struct Recording {
    RecordingImage image;
    bool compressed = false;
    py::list messages;
};

bool isCompressed(const std::filesystem::path &file)
{
    std::string ext = file.extension().string();
    for (char &c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".bldx";
}

std::shared_ptr<Recording> readRecording(const py::handle &pathArg)
{
    const std::filesystem::path file = toPath(pathArg);
    CollectingSink sink;
    std::unique_ptr<RecordingImage> image;
    {
        const py::gil_scoped_release release;
        image = std::make_unique<RecordingImage>(
            isCompressed(file) ? RecordingImage::fromBytes(UnpackRecording(file, sink).image, file)
                               : RecordingImage::mapFile(file));
    }
    auto r = std::make_shared<Recording>(Recording{std::move(*image), isCompressed(file), sink.take()});
    return r;
}

// The 6-byte records as a structured dtype: channel byte (bits 0-5 the
// channel, bit 7 a flag), marker, 32-bit tick counter, little-endian.
py::object recordDtype()
{
    py::dict spec;
    spec["names"] = py::make_tuple("channel", "marker", "ticks");
    spec["formats"] = py::make_tuple("u1", "u1", "<u4");
    spec["offsets"] = py::make_tuple(0, 1, 2);
    spec["itemsize"] = 6;
    return py::module_::import("numpy").attr("dtype")(spec);
}

py::array records(const py::object &self)
{
    const Recording &r = self.cast<const Recording &>();
    const auto first = r.image.firstRecord();
    const auto count = r.image.recordCount();
    const std::uint8_t *data = r.image.bytes().data() + first * 6;
    // A view of the image, kept alive by the recording object; read-only as the mapping is.
    py::array a(py::dtype::from_args(recordDtype()), {static_cast<py::ssize_t>(count)}, {py::ssize_t{6}},
                count ? static_cast<const void *>(data) : nullptr, self);
    a.attr("setflags")(py::arg("write") = false);
    return a;
}

} // namespace

void defineRecording(py::module_ &m)
{
    py::class_<Recording, std::shared_ptr<Recording>>(m, "Recording",
                                                      "A recording's header and pulse records (no copy)")
        .def_property_readonly("path", [](const Recording &r) { return r.image.file().string(); })
        .def_property_readonly("compressed", [](const Recording &r) { return r.compressed; })
        .def_property_readonly("has_header", [](const Recording &r) { return r.image.header().hasSignature; })
        .def_property_readonly("recorder_code",
                               [](const Recording &r) { return r.image.header().RecorderCode; })
        .def_property_readonly("tick_period", [](const Recording &r) { return r.image.tickPeriod(); })
        .def_property_readonly("record_date_days",
                               [](const Recording &r) { return r.image.header().RecordDate; })
        .def_property_readonly("channels",
                               [](const Recording &r) {
                                   py::list out;
                                   for (const auto &c : r.image.header().channels) {
                                       py::dict d;
                                       d["number"] = c.ChanNo;
                                       d["name"] = c.nameUtf8();
                                       d["attributes"] = c.ChanAttr;
                                       d["sensor_type"] = c.ChanSensorType;
                                       out.append(d);
                                   }
                                   return out;
                               })
        .def_property_readonly("messages", [](const Recording &r) { return r.messages; })
        .def_property_readonly("records", &records)
        .def_property_readonly("image_size", [](const Recording &r) { return r.image.bytes().size(); })
        .def_property_readonly("first_record", [](const Recording &r) { return r.image.firstRecord(); });
    m.def("read_recording", &readRecording, py::arg("path"));
}

} // namespace vibrolan::python
