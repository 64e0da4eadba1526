#include "export/pair_save.hpp"

#include "base/errors.hpp"
#include "output/data_file.hpp"
#include "output/data_set_staging.hpp"

#include <algorithm>
#include <cctype>
#include <span>
#include <vector>

namespace vibrolan {

namespace {

// Revolutions left out when a universal-time channel is written: the time-code
// decoder needs them to lock, so their times are not reliable.
constexpr std::int32_t kUtsSkip = 10;
constexpr std::uint16_t kCreateMode = 2;
constexpr const char *kCharName = "sens";
constexpr const char *kUtsChannel = "UTS_Time";

template <class T> std::span<const std::byte> bytesOf(std::span<const T> v) { return std::as_bytes(v); }
template <class T> std::span<const std::byte> bytesOf(const std::vector<T> &v)
{
    return std::as_bytes(std::span<const T>(v));
}

// The speed channel stores rpm; its factor is the data set's k1 (value = raw * k1 + k0).
struct SpeedChannel {
    std::string units;
    float factor;
};

SpeedChannel speedChannel(TSpeedUnit unit)
{
    switch (unit) {
    case TSpeedUnit::suRpm:
        return {"rpm", 1.0f};
    case TSpeedUnit::suHz:
        return {"Hz", static_cast<float>(1.0 / 60.0)};
    }
    throw ValueError("unknown speed unit " + std::to_string(static_cast<int>(unit)));
}

std::string pairText(const TPair &pair, TPairLocation at)
{
    return "pair \"" + pair.NamePair + "\" (stage " + std::to_string(at.Stage + 1) + ", pair " +
           std::to_string(at.Pair + 1) + ")";
}

// The pair at `at` after checking that its common series cover Size samples.
const TPair &pairToSave(const TCfgDfm &cfg, TPairLocation at)
{
    const int stages = std::min<int>(cfg.CountStage, kMaxStages);
    if (at.Stage < 0 || at.Stage >= stages)
        throw ValueError("no stage " + std::to_string(at.Stage + 1) + " in the configuration");
    const TStage &stage = cfg.Stages[static_cast<std::size_t>(at.Stage)];
    const int pairs = std::min<int>(stage.CountPairs, kMaxPairs);
    if (at.Pair < 0 || at.Pair >= pairs)
        throw ValueError("no pair " + std::to_string(at.Pair + 1) + " in stage " +
                         std::to_string(at.Stage + 1));
    if (stage.CountBlade > kMaxBlades)
        throw ValueError("stage " + std::to_string(at.Stage + 1) + " has more than 255 blades");
    const TPair &pair = stage.Pairs[static_cast<std::size_t>(at.Pair)];
    if (pair.Size < 0 || static_cast<std::size_t>(pair.Size) > kMaxSeriesLength)
        throw ValueError(pairText(pair, at) + ": invalid revolution count " + std::to_string(pair.Size));
    const auto size = static_cast<std::size_t>(pair.Size);
    if (pair.Time.size() < size || pair.Freq.size() < size)
        throw ValueError(pairText(pair, at) + " has no results to save (run the analysis first)");
    return pair;
}

void requireSeries(std::span<const float> series, std::size_t n, const char *what, std::size_t b,
                   const TPair &pair, TPairLocation at)
{
    if (series.size() < n)
        throw ValueError(pairText(pair, at) + ": blade " + std::to_string(b + 1) + " has no " + what +
                         " series (run the analysis first)");
}

// Date-time of the data set: the pair's first time, none without samples.
float dataSetTime(const TPair &pair) { return pair.Size > 0 ? pair.Time[0] : 0.0f; }

std::filesystem::path checkedFileName(const std::filesystem::path &fileName)
{
    if (fileName.empty())
        throw ValueError("no data set name given");
    // "set/" names the folder "set": its key file is "set/set.zami", never "set/.zami".
    std::filesystem::path name = fileName;
    while (!name.has_filename() && name.has_relative_path())
        name = name.parent_path();
    if (!name.has_filename() || name.filename() == "." || name.filename() == "..")
        throw ValueError(fileName.string() + ": not a name for a data set");
    // An existing file is opened and added to; only a ZAMI key file may be,
    // anything else (a configuration, a recording) would be overwritten.
    std::error_code ec;
    if (std::filesystem::exists(name, ec) && !std::filesystem::is_directory(name, ec)) {
        std::string ext = name.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext != ".zami")
            throw ValueError(name.string() +
                             ": an existing file that is not a ZAMI key file; name a folder for "
                             "the data set");
    }
    return name;
}

// The folder of a checked data-set name: the name itself, or the folder of a named key file.
std::filesystem::path dataSetFolder(const std::filesystem::path &name)
{
    std::error_code ec;
    if (std::filesystem::exists(name, ec) && !std::filesystem::is_directory(name, ec))
        return name.parent_path().empty() ? std::filesystem::path(".") : name.parent_path();
    return name;
}

// One blade channel: values and their argument.
struct BladeChannel {
    std::vector<float> y;
    std::vector<float> x;
};

class PairSeriesWriter {
public:
    PairSeriesWriter(const TCfgDfm &cfg, TPairLocation at, int kind)
        : cfg_(cfg), at_(at), kind_(kind), pair_(pairToSave(cfg, at)),
          blades_(cfg.Stages[static_cast<std::size_t>(at.Stage)].CountBlade),
          size_(static_cast<std::size_t>(pair_.Size)), units_(GraphKindUnits(cfg.Mode, kind))
    {
        for (std::size_t b = 0; b < blades_; ++b)
            checkBlade(b);
    }

    bool staticHistogram() const { return cfg_.Mode == TMode::mdStatic && kind_ == 5; }
    bool compressed() const { return cfg_.Mode == TMode::mdDynamic && kind_ == 5; }
    std::size_t blades() const { return kind_ == 6 ? 0 : blades_; }
    const std::string &units() const { return units_; }

    // The blade's channel from revolution `skip` on.
    BladeChannel channel(std::size_t b, std::size_t skip) const
    {
        BladeChannel c;
        const std::span<const float> time = std::span<const float>(pair_.Time).first(size_);
        if (staticHistogram()) {
            const THistogramm &h = *pair_.histgrms[b];
            for (int j = 0; j < kHistogramBins; ++j) {
                c.y.push_back(h.readdens(j));
                c.x.push_back(static_cast<float>(h.bounds()[static_cast<std::size_t>(j)]));
            }
            return c;
        }
        if (compressed()) {
            const auto &points = pair_.CmprssResnceCurve[b];
            const std::size_t count =
                std::min(points.size(), static_cast<std::size_t>(std::max(0, pair_.CountInterval)));
            for (std::size_t j = 0; j < count; ++j) {
                const std::size_t m = points[j];
                if (m < skip || m >= size_)
                    continue;
                c.y.push_back(pair_.ResonanceCurve[b][m]);
                c.x.push_back(time[m]);
            }
            return c;
        }
        c.x.assign(time.begin() + static_cast<std::ptrdiff_t>(skip), time.end());
        if (kind_ == 0) {
            const auto ampl = pair_.AmplSeries(b);
            const auto &middle = pair_.MiddleLine[b];
            for (std::size_t i = skip; i < size_; ++i)
                c.y.push_back(ampl[i] + middle[i]);
            return c;
        }
        const auto series = source(b);
        c.y.assign(series.begin() + static_cast<std::ptrdiff_t>(skip),
                   series.begin() + static_cast<std::ptrdiff_t>(size_));
        return c;
    }

private:
    static constexpr int kHistogramBins = 100;

    // The stored series of kinds 1 to 4.
    std::span<const float> source(std::size_t b) const
    {
        switch (kind_) {
        case 1:
            return pair_.AmplSeries(b);
        case 2:
            return pair_.Velocity[b];
        case 3:
            return cfg_.Mode == TMode::mdDynamic ? pair_.ResonanceCurve[b] : pair_.Stress[b];
        default:
            return pair_.StallingOscill[b];
        }
    }

    void checkBlade(std::size_t b) const
    {
        if (kind_ == 6)
            return;
        if (staticHistogram()) {
            const auto &h = pair_.histgrms[b];
            if (!h || h->Ns() < kHistogramBins)
                throw ValueError(pairText(pair_, at_) + ": blade " + std::to_string(b + 1) +
                                 " has no distribution histogram (run the analysis first)");
            return;
        }
        if (compressed()) {
            requireSeries(pair_.ResonanceCurve[b], size_, "resonance curve", b, pair_, at_);
            return;
        }
        if (kind_ == 0) {
            requireSeries(pair_.AmplSeries(b), size_, "deflection", b, pair_, at_);
            requireSeries(pair_.MiddleLine[b], size_, "middle line", b, pair_, at_);
            return;
        }
        static constexpr const char *names[] = {"", "amplitude", "velocity", "stress", "stall oscillation"};
        requireSeries(source(b), size_, names[kind_], b, pair_, at_);
    }

    const TCfgDfm &cfg_;
    TPairLocation at_;
    int kind_;
    const TPair &pair_;
    std::size_t blades_;
    std::size_t size_;
    std::string units_;
};

void report(const TSaveProgress &progress, std::string_view label)
{
    if (progress)
        progress(label);
}

} // namespace

std::optional<TPairLocation> FindPairByName(const TCfgDfm &cfg, std::string_view name)
{
    std::optional<TPairLocation> found;
    const int stages = std::min<int>(cfg.CountStage, kMaxStages);
    for (int s = 0; s < stages; ++s) {
        const TStage &stage = cfg.Stages[static_cast<std::size_t>(s)];
        const int pairs = std::min<int>(stage.CountPairs, kMaxPairs);
        for (int p = 0; p < pairs; ++p)
            if (stage.Pairs[static_cast<std::size_t>(p)].NamePair == name)
                found = TPairLocation{s, p};
    }
    return found;
}

std::string GraphKindUnits(TMode mode, int kind)
{
    const int kinds = mode == TMode::mdStatic ? kGraphKindsStatic : kGraphKindsDynamic;
    if (kind < 0 || kind >= kinds)
        throw ValueError("graph kind " + std::to_string(kind) + " does not exist in mode \"" +
                         std::string(ModeText(mode)) + "\" (0 to " + std::to_string(kinds - 1) + ")");
    switch (kind) {
    case 0:
    case 1:
        return "мм";
    case 2:
        return "мм/с";
    case 3:
        return "кгс/мм*мм";
    case 5:
        return mode == TMode::mdStatic ? "плотность" : "";
    default:
        return "";
    }
}

bool HasTimeCode(const TCfgDfm &cfg)
{
    const std::size_t n = std::min<std::size_t>(cfg.CountSensors, kMaxSensors);
    for (std::size_t i = 0; i < n; ++i) {
        const TTypeSensor t = cfg.Sensors[i].TypeSensor;
        if (t == TTypeSensor::srUTS || t == TTypeSensor::srIRIG_B)
            return true;
    }
    return false;
}

void SavePairSeries(const TCfgDfm &cfg, TPairLocation at, int kind, TSpeedUnit speed,
                    const std::filesystem::path &fileName, const DataFileEnv &env,
                    const TSaveProgress &progress)
{
    const PairSeriesWriter writer(cfg, at, kind);
    const SpeedChannel tacho = speedChannel(speed);
    const TPair &pair =
        cfg.Stages[static_cast<std::size_t>(at.Stage)].Pairs[static_cast<std::size_t>(at.Pair)];
    const auto size = static_cast<std::size_t>(pair.Size);
    // A configuration with a time-code sensor whose pair holds no decoded
    // times (data-file input) is saved as one without a time code.
    const bool timeCode = HasTimeCode(cfg) && pair.UTS_Time.size() >= size;

    const std::filesystem::path name = checkedFileName(fileName);
    DataSetStaging staging(dataSetFolder(name));
    TDataF data(env);
    const char *testName = cfg.Mode == TMode::mdStatic ? kSteadyTestName : kRunDownTestName;
    data.CreateNew(staging.staged(name), "Prod", testName, ftZami, kCreateMode, 0, dataSetTime(pair), "");

    const std::span<const float> time = std::span<const float>(pair.Time).first(size);
    std::size_t skip = 0;
    std::string uts;
    if (timeCode && pair.Size > kUtsSkip) {
        skip = kUtsSkip;
        uts = kUtsChannel;
        const auto n = static_cast<std::int32_t>(size - skip);
        data.AddBuffer(n, "double", "single",
                       bytesOf(std::span<const double>(pair.UTS_Time).subspan(skip, size - skip)),
                       bytesOf(time.subspan(skip)), kUtsChannel, kCharName, "sec", "sec", 100.0f, 0, 0.0f,
                       1.0f, nullptr);
    }

    const auto revolutions = static_cast<std::int32_t>(size - skip);
    data.AddBuffer(revolutions, "single", "single",
                   bytesOf(std::span<const float>(pair.Freq).subspan(skip, size - skip)),
                   bytesOf(time.subspan(skip)), "Tacho", kCharName, tacho.units, "sec", uts, 100.0f, 0, 0.0f,
                   tacho.factor, nullptr);

    // A histogram is not a series over revolutions: nothing to skip and no
    // universal time to refer to.
    if (writer.staticHistogram()) {
        skip = 0;
        uts.clear();
    }
    // The compressed curve's points are not one per revolution either.
    if (writer.compressed())
        uts.clear();
    for (std::size_t b = 0; b < writer.blades(); ++b) {
        const BladeChannel c = writer.channel(b, skip);
        report(progress, std::to_string(b + 1));
        data.AddBuffer(static_cast<std::int32_t>(c.y.size()), "single", "single", bytesOf(c.y), bytesOf(c.x),
                       "blade" + std::to_string(b + 1), kCharName, writer.units(), "sec", uts, 100.0f, 0,
                       0.0f, 1.0f, nullptr);
    }
    report(progress, kTachoLabel);
    data.Destroy();
    staging.commit();
}

void SavePairSlice(const TCfgDfm &cfg, TPairLocation at, int kind, TSpeedUnit speed,
                   const std::filesystem::path &fileName, const DataFileEnv &env,
                   const TSaveProgress &progress)
{
    const TPair &pair = pairToSave(cfg, at);
    // The slice always holds deflections; the selected kind only names their units.
    const std::string units = GraphKindUnits(TMode::mdDynamic, kind);
    const SpeedChannel tacho = speedChannel(speed);
    const std::size_t blades = cfg.Stages[static_cast<std::size_t>(at.Stage)].CountBlade;
    const auto size = static_cast<std::size_t>(pair.Size);
    for (std::size_t b = 0; b < blades; ++b) {
        requireSeries(pair.AmplSeries(b), size, "deflection", b, pair, at);
        requireSeries(pair.MiddleLine[b], size, "middle line", b, pair, at);
    }
    const std::size_t values = size * blades;
    if (values > static_cast<std::size_t>(INT32_MAX))
        throw ValueError(pairText(pair, at) + ": the slice is too large for one channel");

    const std::filesystem::path name = checkedFileName(fileName);
    DataSetStaging staging(dataSetFolder(name));
    TDataF data(env);
    data.CreateNew(staging.staged(name), "Prod", kRunDownTestName, ftZami, kCreateMode, 0, dataSetTime(pair),
                   "");

    std::vector<float> v(values);
    for (std::size_t b = 0; b < blades; ++b) {
        const auto ampl = pair.AmplSeries(b);
        const auto &middle = pair.MiddleLine[b];
        for (std::size_t i = 0; i < size; ++i)
            v[i * blades + b] = ampl[i] + middle[i];
    }
    report(progress, "");

    T3D axis;
    axis.ZSize = static_cast<std::uint32_t>(size);
    axis.ZStep = 1;
    axis.ZStart = 1;
    axis.ZFormat = "int";
    axis.ZUnits = "оборот";
    data.AddBuffer(static_cast<std::int32_t>(values), "single", "uniform", bytesOf(v), {}, "ТУВРА", kCharName,
                   units, "лопатка", 0.0f, 1, 0.0f, 1.0f, &axis);
    v = {};
    report(progress, kTachoLabel);

    const auto n = static_cast<std::int32_t>(size);
    data.AddBuffer(n, "single", "single", bytesOf(std::span<const float>(pair.Freq).first(size)),
                   bytesOf(std::span<const float>(pair.Time).first(size)), "Tacho", kCharName, tacho.units,
                   "sek", 100.0f, 0, 0.0f, tacho.factor, nullptr);
    data.Destroy();
    staging.commit();
}

} // namespace vibrolan
