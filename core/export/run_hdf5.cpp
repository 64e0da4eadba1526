#include "export/run_hdf5.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/unique_fd.hpp"
#include "export/hdf5_file_driver.hpp"
#include "export/hdf5_handles.hpp"
#include "export/hdf5_table.hpp"
#include "export/pair_save.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace vibrolan {

namespace {

using hdf5::Handle;
using hdf5::Writer;

// Bumped when a reader would have to change.
constexpr std::int64_t kLayoutVersion = 1;

std::string trimmed(std::string_view s)
{
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return std::string(s);
}

std::vector<std::pair<int, int>> pairsToWrite(const TCfgDfm &cfg, const TRunHdf5Info &info)
{
    if (!info.Pairs.empty())
        return info.Pairs;
    std::vector<std::pair<int, int>> pairs;
    const int stages = std::min<int>(cfg.CountStage, kMaxStages);
    for (int s = 0; s < stages; ++s) {
        const TStage &st = cfg.Stages[static_cast<std::size_t>(s)];
        for (int p = 0; p < std::min<int>(st.CountPairs, kMaxPairs); ++p)
            if (st.Pairs[static_cast<std::size_t>(p)].Checked)
                pairs.emplace_back(s, p);
    }
    return pairs;
}

void writeSettings(const Writer &w, hid_t root, const TCfgDfm &cfg, const TRunHdf5Info &info)
{
    w.attribute(root, "layout_version", kLayoutVersion);
    w.attribute(root, "program", std::string_view("vibrolan"));
    w.attribute(root, "program_version", info.ProgramVersion);
    w.attribute(root, "config_file", info.ConfigFile.string());
    w.attribute(root, "recording_file", info.RecordingFile.string());
    w.attribute(root, "tick_period_s", info.TickPeriod);
    w.attribute(root, "mode", trimmed(ModeText(cfg.Mode)));
    w.attribute(root, "mode_code", static_cast<std::int64_t>(cfg.Mode));
    w.attribute(root, "stage_count", static_cast<std::int64_t>(std::min<int>(cfg.CountStage, kMaxStages)));
    // The run's settings under the configuration's own field names.
    w.attribute(root, "dN", cfg.dN);
    w.attribute(root, "LoTaho", cfg.LoTaho);
    w.attribute(root, "HiTaho", cfg.HiTaho);
    w.attribute(root, "thNumPoint", static_cast<std::int64_t>(cfg.thNumPoint));
    w.attribute(root, "LoAmpl", cfg.LoAmpl);
    w.attribute(root, "HiAmpl", cfg.HiAmpl);
    w.attribute(root, "mgNumPoint", static_cast<std::int64_t>(cfg.mgNumPoint));
    w.attribute(root, "Method", static_cast<std::int64_t>(cfg.Method));
    w.attribute(root, "NomRotation", static_cast<double>(cfg.NomRotation));
    w.attribute(root, "c", static_cast<double>(cfg.c));
    w.attribute(root, "Range_From", cfg.Range._From);
    w.attribute(root, "Range_To", cfg.Range._To);
    w.attribute(root, "b1", static_cast<double>(cfg.b1));
    w.attribute(root, "b2", static_cast<double>(cfg.b2));
    w.attribute(root, "RunTahoByBlade", static_cast<std::int64_t>(cfg.RunTahoByBlade));
    w.attribute(root, "UseGates", static_cast<std::int64_t>(cfg.UseGates));
    w.attribute(root, "NmGates", cfg.NmGates);
    w.attribute(root, "NmPopravk", cfg.NmPopravk);
}

std::string sensorName(const TCfgDfm &cfg, std::uint16_t i)
{
    return i < kMaxSensors ? cfg.Sensors[i].NameSensor : std::string();
}

// The recorder channel as the program shows it (1-based); 0 for no sensor.
std::int64_t sensorChannel(const TCfgDfm &cfg, std::uint16_t i)
{
    return i < kMaxSensors ? static_cast<std::int64_t>(cfg.Sensors[i].Chan) + 1 : 0;
}

// Per-blade series of one kind as rows of a [blade x revolution] matrix; a
// blade without that series (or a shorter one) gets NaN. Nothing when no
// blade has it (the run's mode never computes it).
template <class Get> bool bladeMatrix(std::vector<float> &m, std::size_t blades, std::size_t size, Get get)
{
    m.resize(blades * size);
    bool any = false;
    for (std::size_t b = 0; b < blades; ++b) {
        const std::span<float> row(m.data() + b * size, size);
        const bool has = get(b, row);
        if (!has)
            std::fill(row.begin(), row.end(), std::numeric_limits<float>::quiet_NaN());
        any |= has;
    }
    return any;
}

// The same rows where the run keeps them, without a copy; a blade without
// the series (or with a shorter one) points at `nan` (size values of NaN).
bool bladeRows(std::vector<const float *> &rows, std::size_t blades, std::size_t size,
               const LazyArray<TArrSingle, kMaxBlades> &series, std::vector<float> &nan)
{
    rows.assign(blades, nullptr);
    bool any = false;
    for (std::size_t b = 0; b < blades; ++b) {
        const TArrSingle &v = series[b];
        if (v.size() >= size) {
            rows[b] = v.data();
            any = true;
        } else {
            if (nan.size() < size)
                nan.assign(size, std::numeric_limits<float>::quiet_NaN());
            rows[b] = nan.data();
        }
    }
    return any;
}

void writePair(const Writer &w, hid_t stageGroup, const std::string &name, const TCfgDfm &cfg,
               const TStage &st, const TPair &pair)
{
    Handle g = w.group(stageGroup, name);
    const hid_t id = g.get();
    w.attribute(id, "name", pair.NamePair);
    w.attribute(id, "fi", static_cast<double>(pair.fi));
    w.attribute(id, "root_sensor", sensorName(cfg, pair.Root));
    w.attribute(id, "root_channel", sensorChannel(cfg, pair.Root));
    w.attribute(id, "tip_sensor", sensorName(cfg, pair.Peak));
    w.attribute(id, "tip_channel", sensorChannel(cfg, pair.Peak));
    const std::size_t size =
        static_cast<std::size_t>(std::clamp<std::int32_t>(pair.Size, 0, kMaxSeriesLength));
    w.attribute(id, "revolutions_accepted", static_cast<std::int64_t>(size));
    w.attribute(id, "revolutions_rejected", static_cast<std::int64_t>(pair.SizeOfBad));

    auto first = [size](const auto &v) {
        using T = std::remove_cvref_t<decltype(v[0])>;
        return std::span<const T>(v.data(), std::min(size, v.size()));
    };
    w.series(id, "time_s", first(pair.Time), "s");
    w.series(id, "speed_rpm", first(pair.Freq), "rpm");
    if (HasTimeCode(cfg) && pair.UTS_Time.size() >= size)
        w.series(id, "time_of_day_s", first(pair.UTS_Time), "s");

    const std::size_t blades = std::min<std::size_t>(st.CountBlade, kMaxBlades);
    std::vector<float> m, nan;
    std::vector<const float *> rows;
    // The raw deflection as graph kind 0 shows it: the dynamic part plus the middle line.
    if (bladeMatrix(m, blades, size, [&](std::size_t b, std::span<float> row) {
            const auto ampl = pair.AmplSeries(b);
            const TArrSingle &middle = pair.MiddleLine[b];
            if (ampl.size() < size)
                return false;
            for (std::size_t i = 0; i < size; ++i)
                row[i] = middle.size() >= size ? ampl[i] + middle[i] : ampl[i];
            return true;
        }))
        w.matrix(id, "deflection", m, blades, size, "mm");
    const struct {
        const char *name;
        const LazyArray<TArrSingle, kMaxBlades> &series;
        const char *units;
    } kinds[] = {{"middle_line", pair.MiddleLine, "mm"},
                 {"velocity", pair.Velocity, "mm/s"},
                 {"stress", pair.Stress, "kgf/mm^2"},
                 {"resonance_curve", pair.ResonanceCurve, "kgf/mm^2"},
                 {"stall_oscillation", pair.StallingOscill, "kgf/mm^2"}};
    for (const auto &k : kinds)
        if (bladeRows(rows, blades, size, k.series, nan))
            w.matrixRows(id, k.name, rows, size, k.units);

    // The run's per-blade statistics, as the report's tables show them.
    auto perBlade = [&](const LazyArray<float, 256> &v) { return std::span<const float>(v.data(), blades); };
    w.series(id, "mean", perBlade(pair.Mean), "mm");
    w.series(id, "rms", perBlade(pair.RMS), "mm");
    w.series(id, "min", perBlade(pair.lopmin), "mm");
    w.series(id, "max", perBlade(pair.lopmax), "mm");
}

// Which steps of the identification ran, and what they had to say.
void writeIdentificationNotes(const Writer &w, hid_t root, const identify::RunIdentification &id)
{
    std::string steps, notes;
    auto add = [](std::string &to, const std::string &line) { to += (to.empty() ? "" : "\n") + line; };
    if (id.resonances)
        add(steps, "resonances");
    if (id.asynchronous)
        add(steps, "asynchronous");
    for (const std::string &n : identify::IdentificationNotes(id))
        add(notes, n);
    w.attribute(root, "identification", steps);
    w.attribute(root, "identification_notes", notes);
}

void writeRun(const Writer &w, hid_t root, const TCfgDfm &cfg, const TRunHdf5Info &info)
{
    writeSettings(w, root, cfg, info);
    if (info.Identification)
        writeIdentificationNotes(w, root, *info.Identification);
    const auto pairs = pairsToWrite(cfg, info);
    std::vector<std::string> stageNames;
    const int stages = std::min<int>(cfg.CountStage, kMaxStages);
    for (int s = 0; s < stages; ++s) {
        const TStage &st = cfg.Stages[static_cast<std::size_t>(s)];
        Handle g = w.group(root, Hdf5MemberName(st.NameStage, "stage " + std::to_string(s + 1), stageNames));
        w.attribute(g.get(), "name", st.NameStage);
        w.attribute(g.get(), "index", static_cast<std::int64_t>(s + 1));
        w.attribute(g.get(), "type", trimmed(TypeStageText(st.TypeStage)));
        w.attribute(g.get(), "type_code", static_cast<std::int64_t>(st.TypeStage));
        w.attribute(g.get(), "diameter_mm", st.Diametr);
        w.attribute(g.get(), "blade_count", static_cast<std::int64_t>(st.CountBlade));
        w.attribute(g.get(), "tacho_marks",
                    static_cast<std::int64_t>(info.RevCount[static_cast<std::size_t>(s)]));
        // The identification's tables sit beside the pairs: a pair never takes their names.
        std::vector<std::string> pairNames = {
            "resonances",   "resonance_events",   "resonances_not_identified",
            "asynchronous", "asynchronous_track", "asynchronous_blades"};
        for (const auto &[ps, pp] : pairs) {
            if (ps != s || pp < 0 || pp >= static_cast<int>(kMaxPairs))
                continue;
            const TPair &pair = st.Pairs[static_cast<std::size_t>(pp)];
            writePair(w, g.get(), Hdf5MemberName(pair.NamePair, "pair " + std::to_string(pp + 1), pairNames),
                      cfg, st, pair);
        }
        if (info.Identification)
            for (const identify::ResultTable &t : identify::IdentificationTables(*info.Identification, s))
                hdf5::WriteTable(w, g.get(), t);
    }
}

// A unique temporary file beside the target.
std::filesystem::path makeTemporary(const std::filesystem::path &file)
{
    std::filesystem::path dir = file.parent_path();
    if (dir.empty())
        dir = ".";
    std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        throw FileError(file, "cannot create: " + systemErrorText(errno));
    ::close(fd);
    return tmpl;
}

// Flushes the finished file to the disk, gives it the target's permissions
// (the usual 0666 & ~umask for a new one) and puts it in place.
void commit(const std::filesystem::path &temp, const std::filesystem::path &file)
{
    UniqueFd fd(::open(temp.c_str(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0)
        throw FileError(file, "cannot write: " + systemErrorText(errno));
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        ::fchmod(fd.get(), st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd.get(), 0666 & ~mask);
    }
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0)
        throw FileError(file, "cannot write: " + systemErrorText(errno));
    if (::rename(temp.c_str(), file.c_str()) != 0)
        throw FileError(file, "cannot replace: " + systemErrorText(errno));
}

} // namespace

std::string Hdf5MemberName(const std::string &name, const std::string &fallback,
                           std::vector<std::string> &taken)
{
    std::string base = name;
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    std::replace(base.begin(), base.end(), '/', '_');
    if (base.empty() || base == "." || base == "..")
        base = fallback;
    std::string unique = base;
    for (int k = 2; std::find(taken.begin(), taken.end(), unique) != taken.end(); ++k)
        unique = base + " (" + std::to_string(k) + ")";
    taken.push_back(unique);
    return unique;
}

void SaveRunHdf5(const TCfgDfm &cfg, const TRunHdf5Info &info, const std::filesystem::path &file)
{
    if (file.empty() || !file.has_filename())
        throw ValueError("\"" + file.string() + "\" does not name a file");
    if (isReadOnlyFile(file))
        throw FileError(file, "cannot write: the file is read-only");
    const std::filesystem::path temp = makeTemporary(file);
    try {
        const hdf5::QuietErrors quiet;
        hdf5::IoLatch latch;
        Handle fapl(hdf5::LatchingFileAccess(latch), H5Pclose);
        if (fapl.get() < 0)
            throw FileError(file, "cannot set up the HDF5 library");
        Handle f(H5Fcreate(temp.c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, fapl.get()), H5Fclose);
        if (f.get() < 0)
            throw FileError(file, "cannot create the HDF5 file");
        {
            const Writer w(f.get(), file);
            Handle root(H5Gopen2(f.get(), "/", H5P_DEFAULT), H5Gclose);
            if (root.get() < 0)
                w.fail("cannot open the root group");
            writeRun(w, root.get(), cfg, info);
        }
        const bool closed = f.close() >= 0;
        if (latch.error != 0)
            throw FileError(file, "cannot write: " + systemErrorText(latch.error));
        if (!closed)
            throw FileError(file, "cannot complete the HDF5 file");
        commit(temp, file);
    } catch (...) {
        ::unlink(temp.c_str());
        throw;
    }
}

} // namespace vibrolan
