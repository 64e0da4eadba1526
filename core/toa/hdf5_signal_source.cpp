// HDF5 signals: every one-dimensional numeric dataset of the file's root
// group is a channel (in name order, named after the dataset), with the
// sampling rate as attribute "rate" (or "sample_rate") of the dataset or of
// the root group, and optional "scale" (volts per unit) and "offset" (volts).
// Any stored number type is converted by the library while reading.
#include "toa/signal_source.hpp"

#include "base/errors.hpp"

#include <hdf5.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace vibrolan::toa {

namespace {

// An owned HDF5 identifier, closed by the given function.
class Hid {
public:
    Hid() = default;
    Hid(hid_t id, herr_t (*close)(hid_t)) : id_(id), close_(close) {}
    Hid(Hid &&o) noexcept : id_(std::exchange(o.id_, H5I_INVALID_HID)), close_(o.close_) {}
    Hid &operator=(Hid &&o) noexcept
    {
        std::swap(id_, o.id_);
        std::swap(close_, o.close_);
        return *this;
    }
    Hid(const Hid &) = delete;
    Hid &operator=(const Hid &) = delete;
    ~Hid()
    {
        if (id_ >= 0 && close_ != nullptr)
            close_(id_);
    }
    hid_t get() const { return id_; }
    bool valid() const { return id_ >= 0; }

private:
    hid_t id_ = H5I_INVALID_HID;
    herr_t (*close_)(hid_t) = nullptr;
};

// A numeric scalar attribute of an object, when it has one.
std::optional<double> numberAttribute(hid_t object, const char *name)
{
    if (H5Aexists(object, name) <= 0)
        return std::nullopt;
    Hid attr(H5Aopen(object, name, H5P_DEFAULT), H5Aclose);
    if (!attr.valid())
        return std::nullopt;
    Hid type(H5Aget_type(attr.get()), H5Tclose);
    Hid space(H5Aget_space(attr.get()), H5Sclose);
    const H5T_class_t cls = H5Tget_class(type.get());
    if ((cls != H5T_INTEGER && cls != H5T_FLOAT) || H5Sget_simple_extent_npoints(space.get()) != 1)
        return std::nullopt;
    double v = 0;
    if (H5Aread(attr.get(), H5T_NATIVE_DOUBLE, &v) < 0)
        return std::nullopt;
    return v;
}

std::optional<double> rateAttribute(hid_t object)
{
    if (auto r = numberAttribute(object, "rate"))
        return r;
    return numberAttribute(object, "sample_rate");
}

// The link-info type differs between library versions; the iteration's
// callback type picks it.
template <typename LinkInfo> herr_t collectName(hid_t, const char *name, const LinkInfo *, void *names)
{
    static_cast<std::vector<std::string> *>(names)->emplace_back(name);
    return 0;
}

class Hdf5SignalSource final : public SignalSource {
public:
    Hdf5SignalSource(const std::filesystem::path &file, const OpenOptions &options) : file_(file)
    {
        H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr); // errors become our messages, not printed stacks
#if H5_VERSION_GE(1, 12, 0)
        const htri_t isHdf5 = H5Fis_accessible(file.c_str(), H5P_DEFAULT);
#else
        const htri_t isHdf5 = H5Fis_hdf5(file.c_str());
#endif
        if (isHdf5 <= 0)
            throw FormatError(file, "not an HDF5 file");
        file_id_ = Hid(H5Fopen(file.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT), H5Fclose);
        if (!file_id_.valid())
            throw FileError(file, "cannot open the HDF5 file");
        Hid root(H5Gopen2(file_id_.get(), "/", H5P_DEFAULT), H5Gclose);
        std::vector<std::string> names;
        hsize_t idx = 0;
        if (H5Literate(root.get(), H5_INDEX_NAME, H5_ITER_INC, &idx, collectName, &names) < 0)
            throw FormatError(file, "cannot list the root group");
        const std::optional<double> rootRate = rateAttribute(root.get());
        for (const std::string &name : names) {
            Hid object(H5Oopen(root.get(), name.c_str(), H5P_DEFAULT), H5Oclose);
            if (!object.valid() || H5Iget_type(object.get()) != H5I_DATASET)
                continue;
            Hid ds(H5Dopen2(root.get(), name.c_str(), H5P_DEFAULT), H5Dclose);
            Hid type(H5Dget_type(ds.get()), H5Tclose);
            Hid space(H5Dget_space(ds.get()), H5Sclose);
            const H5T_class_t cls = H5Tget_class(type.get());
            if ((cls != H5T_INTEGER && cls != H5T_FLOAT) || H5Sget_simple_extent_ndims(space.get()) != 1)
                continue;
            hsize_t len = 0;
            H5Sget_simple_extent_dims(space.get(), &len, nullptr);
            std::optional<double> rate = options.rate ? options.rate : rateAttribute(ds.get());
            if (!rate)
                rate = rootRate;
            if (!rate)
                throw FormatError(file,
                                  "dataset \"" + name + "\" has no \"rate\" attribute (give it with --rate)");
            if (datasets_.empty()) {
                info_.rate = *rate;
                info_.frames = len;
            } else if (*rate != info_.rate) {
                throw FormatError(file, "dataset \"" + name + "\" has another rate than \"" +
                                            info_.channels.front().name + "\"");
            } else if (len != info_.frames) {
                throw FormatError(file, "dataset \"" + name + "\" has " + std::to_string(len) +
                                            " samples, \"" + info_.channels.front().name + "\" " +
                                            std::to_string(info_.frames));
            }
            scale_.push_back(static_cast<float>(numberAttribute(ds.get(), "scale").value_or(1.0)));
            offset_.push_back(static_cast<float>(numberAttribute(ds.get(), "offset").value_or(0.0)));
            info_.channels.push_back({name, file});
            datasets_.push_back(std::move(ds));
        }
        if (datasets_.empty())
            throw FormatError(file, "the root group holds no one-dimensional numeric dataset");
    }

    const SignalInfo &info() const override { return info_; }
    std::size_t fetch(std::size_t maxFrames) override
    {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(maxFrames, info_.frames - position_));
        start_ = position_;
        fetched_ = n;
        position_ += n;
        return n;
    }
    void convert(std::size_t c, float *out) override
    {
        if (fetched_ == 0)
            return;
        // The library is built without thread safety: one call at a time.
        const std::lock_guard lock(mutex_);
        Hid fileSpace(H5Dget_space(datasets_[c].get()), H5Sclose);
        const hsize_t start = start_, count = fetched_;
        Hid memSpace(H5Screate_simple(1, &count, nullptr), H5Sclose);
        if (H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, &start, nullptr, &count, nullptr) < 0 ||
            H5Dread(datasets_[c].get(), H5T_NATIVE_FLOAT, memSpace.get(), fileSpace.get(), H5P_DEFAULT, out) <
                0)
            throw FormatError(file_, "cannot read dataset \"" + info_.channels[c].name + "\" at sample " +
                                         std::to_string(start_) + " (damaged or truncated file)");
        if (scale_[c] != 1.0F || offset_[c] != 0.0F)
            for (std::size_t i = 0; i < fetched_; ++i)
                out[i] = out[i] * scale_[c] + offset_[c];
    }
    void rewind() override { position_ = 0; }

private:
    std::filesystem::path file_;
    Hid file_id_;
    std::vector<Hid> datasets_;
    std::vector<float> scale_, offset_;
    SignalInfo info_;
    std::uint64_t position_ = 0, start_ = 0;
    std::size_t fetched_ = 0;
    std::mutex mutex_;
};

} // namespace

std::unique_ptr<SignalSource> openHdf5Signal(const std::filesystem::path &file, const OpenOptions &options)
{
    return std::make_unique<Hdf5SignalSource>(file, options);
}

} // namespace vibrolan::toa
