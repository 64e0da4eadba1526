#include "sim/simulator.hpp"

#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/file_set_replacement.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "recording/bldx_encoder.hpp"
#include "recording/recording_header.hpp"
#include "recording/tindex.hpp"
#include "sim/assembly_predictor.hpp"
#include "sim/calendar.hpp"
#include "sim/geometry.hpp"
#include "sim/modes_truth.hpp"
#include "sim/output_file.hpp"
#include "sim/pulse_sources.hpp"
#include "sim/revolution_source.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <memory>
#include <thread>

namespace vibrolan::sim {

namespace {

struct Sensor {
    std::string name;
    int channel; // 1-based
    TTypeSensor type;
};

// The compressed recording, written block by block: every chunk is
// compressed on its own (blocks never span chunks), and the last 12 records
// are held back so that the final chunk is never too short to compress.
class BldxStream {
public:
    BldxStream(const std::filesystem::path &file, std::vector<std::uint8_t> header, FileSetReplacement *set)
        : out_(file, 8u << 20, OutputFile::Cache::Bypass, set), header_(std::move(header))
    {
        out_.write(header_.data(), header_.size());
        chunk_.reserve(kChunk);
    }
    void push(const TIndex &r)
    {
        if (chunk_.size() == kChunk)
            flush(kChunk - kKeep);
        chunk_.push_back(r);
    }
    void commit()
    {
        if (!chunk_.empty())
            flush(chunk_.size());
        out_.commit();
    }

private:
    static constexpr std::size_t kChunk = 64 * 16384, kKeep = 12;
    void flush(std::size_t n)
    {
        const auto bytes = compressRecords(header_, std::span<const TIndex>(chunk_.data(), n));
        out_.write(bytes.data() + header_.size(), bytes.size() - header_.size());
        chunk_.erase(chunk_.begin(), chunk_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    OutputFile out_;
    std::vector<std::uint8_t> header_;
    std::vector<TIndex> chunk_;
};

// The counter's value for a pulse `ticks` after the start: the time to the
// nearest tick (halves up) plus the counter's start value, modulo 2^32.
// Without conversion instructions: adding 1.5 * 2^52 to a number below 2^51
// in size leaves a whole number, and the low 32 bits of the sum's
// representation are that number's low bits.
inline std::uint32_t counterValue(double ticks, std::uint64_t start)
{
    constexpr double kWhole = 6755399441055744.0; // 1.5 * 2^52
    const double half = ticks + 0.5;
    const double sum = half + kWhole;                     // to the nearest, ties to even
    const std::uint64_t up = sum - kWhole > half ? 1 : 0; // rounded up: one down (no branch:
                                                          // it goes either way half of the time)
    return static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(sum) - up + start);
}

void appendNumber(std::string &line, double v, int decimals)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    line.append(buf, r.ptr);
}

void writeSignature(const std::filesystem::path &file, const std::vector<float> &signature,
                    FileSetReplacement &set)
{
    std::string bytes(signature.size() * 4, '\0');
    for (std::size_t i = 0; i < signature.size(); ++i)
        std::memcpy(bytes.data() + 4 * i, &signature[i], 4); // little-endian host (checked in tindex.hpp)
    if (isReadOnlyFile(file))
        throw FileError(file, "the file is read-only; it is left as it is");
    writeFileAtomically(set.reserve(file), bytes);
}

} // namespace

SimulationResult simulate(const Scenario &input, const SimulationOptions &opt)
{
    Scenario sc = input;
    if (opt.seed)
        sc.seed = *opt.seed;
    validateScenario(sc);
    const std::string name = opt.name.empty() ? sc.name : opt.name;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        throw ValueError("the output name \"" + name + "\" is not a plain file name");
    std::error_code ec;
    std::filesystem::create_directories(opt.outDir, ec);
    if (!std::filesystem::is_directory(opt.outDir))
        throw FileError(opt.outDir, "cannot create the output folder");
    const std::filesystem::path dir = std::filesystem::absolute(opt.outDir);

    SimulationResult res;
    res.bld = dir / (name + ".bld");
    res.lfm = dir / (name + ".lfm");
    if (opt.bldx)
        res.bldx = dir / (name + ".bldx");
    if (opt.truth) {
        res.truth = dir / (name + ".truth.csv");
        res.modes = dir / (name + ".modes.csv");
    }

    const double tick = sc.tickPeriod();
    const bool signatureMode = sc.tacho.mode == TachoMode::Signature;
    const Shaft shaft(sc.speed);

    // Sensors in configuration order: the tacho, the probes stage by stage, the time code.
    std::vector<Sensor> sensors;
    if (!signatureMode)
        sensors.push_back({sc.tacho.name, sc.tacho.channel, TTypeSensor::srTaho});
    std::vector<int> firstProbeSensor;
    std::vector<StageGeometry> geo;
    std::vector<std::unique_ptr<BladeMotion>> motion;
    for (std::size_t s = 0; s < sc.stages.size(); ++s) {
        geo.push_back(stageGeometry(sc, s));
        // The integrated response covers the pulses written past the end too.
        if (sc.response == ResponseKind::Transient)
            motion.push_back(
                std::make_unique<BladeMotion>(sc.stages[s], sc.seed + 977 * s, shaft, sc.durationS + 1.0));
        else
            motion.push_back(std::make_unique<BladeMotion>(sc.stages[s], sc.seed + 977 * s));
        firstProbeSensor.push_back(static_cast<int>(sensors.size()));
        for (const ProbeSpec &p : sc.stages[s].probes)
            sensors.push_back(
                {p.name, p.channel, p.kind == ProbeKind::Root ? TTypeSensor::srRoot : TTypeSensor::srPeak});
    }
    if (sc.timeCode.kind != TimeCodeKind::None)
        sensors.push_back(
            {sc.timeCode.name, sc.timeCode.channel,
             sc.timeCode.kind == TimeCodeKind::Sev ? TTypeSensor::srUTS : TTypeSensor::srIRIG_B});
    const std::uint64_t tail = 6 * sensors.size();
    std::vector<const BladeMotion *> motionOf;
    for (const auto &m : motion)
        motionOf.push_back(m.get());

    unsigned threads = opt.threads != 0 ? opt.threads : std::thread::hardware_concurrency();
    threads = std::clamp(threads, 1u, 16u);
    // Two threads: one makes the pulse stream, the caller's writes and
    // predicts, and solves arrivals of the revolutions ahead for the stream
    // whenever it waits for a block. From three on, the stream also has a
    // solver thread of its own.
    const bool shareSolves = threads > 2;
    auto buildMerger = [&](PulseMerger &m, int onlyStage, int onlyProbe) {
        const bool all = onlyStage < 0;
        // The tacho and all probes come as one stream, revolution by revolution.
        if (all)
            m.add(makeRevolutionSource(shaft, tick, sc, geo, motionOf, !signatureMode, opt.preciseArrivals,
                                       shareSolves));
        for (std::size_t s = 0; s < sc.stages.size(); ++s)
            for (std::size_t p = 0; p < sc.stages[s].probes.size(); ++p) {
                if (!all && (static_cast<int>(s) != onlyStage || static_cast<int>(p) != onlyProbe))
                    continue;
                if (!all)
                    m.add(makeProbeSource(shaft, tick, sc.stages[s], geo[s], *motion[s], static_cast<int>(s),
                                          static_cast<int>(p), sc.faults, sc.seed, opt.preciseArrivals));
                if (sc.faults.extraPerSecond > 0)
                    m.add(makeExtraSource(tick, sc.faults.extraPerSecond, sc.stages[s].probes[p].channel - 1,
                                          static_cast<int>(s), static_cast<int>(p), sc.seed));
            }
        if (all && sc.timeCode.kind != TimeCodeKind::None)
            m.add(makeTimeCodeSource(sc, tick));
    };
    const double endTicks = sc.durationS / tick;

    // The assembly as configured in the .lfm written below.
    std::vector<PredictorStage> pstages;
    for (std::size_t s = 0; s < sc.stages.size(); ++s) {
        const StageSpec &st = sc.stages[s];
        PredictorStage ps;
        ps.blades = st.blades;
        ps.diameterMm = st.diameterMm;
        if (signatureMode) {
            ps.tachoChannel = static_cast<std::uint8_t>(st.probes[geo[s].signatureProbe].channel - 1);
            ps.divisor = 255;
            ps.signature = geo[s].signature;
            // The start mark is counted in steps of 255 pulses from the end of
            // the pass, so it depends on how many pulses the channel has there.
            PulseMerger one;
            buildMerger(one, static_cast<int>(s), geo[s].signatureProbe);
            std::int64_t count = 0;
            while (one.next().recTicks < endTicks)
                ++count;
            ps.startOrdinal = count >= 510 ? count % 255 + 256 : -1;
        } else {
            ps.tachoChannel = static_cast<std::uint8_t>(sc.tacho.channel - 1);
            ps.divisor = sc.tacho.divisor;
            // The pass ends just before a pulse of the last tacho phase, so the
            // candidates counted from its end are the pulses of that phase and
            // the start mark is the second of them.
            ps.startOrdinal = 2 * sc.tacho.divisor;
        }
        for (const PairGeometry &pg : geo[s].pairs) {
            PredictorPair pp;
            pp.rootChannel = static_cast<std::uint8_t>(st.probes[pg.rootProbe].channel - 1);
            pp.tipChannel = static_cast<std::uint8_t>(st.probes[pg.tipProbe].channel - 1);
            pp.skipBlade = pg.skipBlade;
            pp.numberBlade = pg.numberBlade;
            ps.pairs.push_back(std::move(pp));
        }
        pstages.push_back(std::move(ps));
    }
    const double rangeFrom = sc.analysis.rangeFrom.value_or(0.0);
    const double rangeTo = sc.analysis.rangeTo.value_or(sc.durationS + 60.0);

    // Header.
    RecordingHeader header;
    header.hasSignature = true;
    header.RecorderCode = static_cast<std::uint16_t>(sc.recorderCode);
    for (const Sensor &s : sensors) {
        ChannelDescriptor d;
        d.ChanNo = static_cast<std::uint16_t>(s.channel);
        d.ChanName = utf8ToCp1251(s.name);
        d.ChanSensorType = static_cast<std::uint16_t>(s.type);
        header.channels.push_back(std::move(d));
    }
    header.RecordDate =
        static_cast<double>(daysSince1899(sc.year, sc.month, sc.day)) + sc.startSecondOfDay / 86400.0;
    const std::vector<std::uint8_t> headerBytes = buildRecordingHeader(header);

    // The recordings, configuration, signatures and truth replace the old ones all or none.
    FileSetReplacement files;
    OutputFile bld(res.bld, 8u << 20, OutputFile::Cache::Bypass, &files);
    bld.write(headerBytes.data(), headerBytes.size());
    std::unique_ptr<BldxStream> bldx;
    if (opt.bldx)
        bldx = std::make_unique<BldxStream>(res.bldx, headerBytes, &files);
    std::unique_ptr<OutputFile> truth, modes;
    std::size_t maxBlades = 0;
    for (const auto &st : sc.stages)
        maxBlades = std::max<std::size_t>(maxBlades, st.blades);
    if (opt.truth) {
        truth = std::make_unique<OutputFile>(res.truth, 1u << 20, OutputFile::Cache::Use, &files);
        std::string head = "stage,pair,sample,time_s,speed_rpm,fault";
        for (std::size_t b = 1; b <= maxBlades; ++b)
            head += ",blade" + std::to_string(b);
        truth->write(head + "\n");
        modes = std::make_unique<OutputFile>(res.modes, 1u << 20, OutputFile::Cache::Use, &files);
        modes->write(modesTruthCsv(sc, shaft, motionOf));
    }
    std::string line;
    AssemblyPredictor predictor(pstages, tick, rangeFrom, rangeTo, [&](const TruthRow &row) {
        if (!truth || row.index % sc.truthEvery != 0)
            return;
        line.clear();
        line += std::to_string(row.stage + 1) + "," + std::to_string(row.pair + 1) + "," +
                std::to_string(row.index) + ",";
        appendNumber(line, row.timeS, 9);
        line += ',';
        appendNumber(line, row.speedRpm, 4);
        line += row.fault ? ",1" : ",0";
        for (double a : row.ampl) {
            line += ',';
            appendNumber(line, a, 6);
        }
        line.append(maxBlades - row.ampl.size(), ',');
        line += '\n';
        truth->write(line);
    });

    PulseMerger merger(threads - 1);
    buildMerger(merger, -1, -1);
    const auto totalMs = static_cast<std::int64_t>(std::ceil(sc.durationS * 1000));
    std::uint64_t written = 0;
    std::uint64_t passEnd = UINT64_MAX; // records of the assembly's pass, once known
    const auto tachoCh = static_cast<std::uint8_t>(sc.tacho.channel - 1);
    const int lastPhase = sc.tacho.divisor - 1;
    // The first pulse after the assembly's pass.
    auto endsPass = [&](const Pulse &p) {
        return signatureMode ? p.recTicks >= endTicks
                             : (p.channel == tachoCh && p.stage < 0 && p.probe < 0 && p.blade == lastPhase &&
                                p.exactTicks >= endTicks);
    };
    // The stream in runs of up to kRun pulses: a source's block as it is
    // when there is one source, else merged pulses gathered here.
    constexpr std::size_t kRun = 8192;
    std::vector<TIndex> records(kRun);
    std::vector<Pulse> gathered;
    const bool oneSource = merger.sources() == 1;
    double lastTicks = 0;
    for (bool more = true; more;) {
        std::span<const Pulse> run;
        if (oneSource) {
            run = merger.take();
        } else {
            gathered.resize(kRun);
            for (Pulse &p : gathered)
                p = merger.next();
            run = gathered;
        }
        while (more && !run.empty()) {
            std::size_t n = std::min(run.size(), kRun);
            // The pass's records go to the prediction too; the pulse that
            // ends the pass and `tail` records in all after it are written only.
            std::size_t inPass = 0;
            bool passEndsHere = false;
            if (passEnd == UINT64_MAX) {
                while (inPass < n && !endsPass(run[inPass]))
                    ++inPass;
                passEndsHere = inPass < n;
                if (passEndsHere)
                    passEnd = written + inPass;
            }
            if (passEnd != UINT64_MAX && written + n >= passEnd + tail) {
                n = static_cast<std::size_t>(passEnd + tail - written);
                more = false;
            }
            for (std::size_t i = 0; i < n; ++i) {
                TIndex &rec = records[i];
                rec.Ch = run[i].channel;
                rec.Marker = 0;
                rec.Ticks = counterValue(run[i].recTicks, sc.startTicks);
            }
            predictor.push(run.data(), records.data(), inPass);
            if (passEndsHere)
                predictor.finish();
            if (bldx)
                for (std::size_t i = 0; i < n; ++i)
                    bldx->push(records[i]);
            bld.write(records.data(), n * sizeof(TIndex));
            const std::uint64_t before = written;
            written += n;
            lastTicks = run[n - 1].recTicks;
            if (opt.progress && (written >> 18) != (before >> 18))
                opt.progress(
                    std::min<std::int64_t>(totalMs, static_cast<std::int64_t>(lastTicks * tick * 1000)),
                    totalMs);
            run = run.subspan(n);
        }
    }
    res.seconds = lastTicks * tick;
    res.records = written;
    res.passRecords = passEnd;

    // Configuration that runs this recording as it is.
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.FileName = res.bld.string();
    cfg.NmSource = cfg.FileName;
    cfg.CountSensors = static_cast<std::uint16_t>(sensors.size());
    for (std::size_t i = 0; i < sensors.size(); ++i) {
        cfg.Sensors[i] = TSensor{};
        cfg.Sensors[i].NameSensor = sensors[i].name;
        cfg.Sensors[i].Chan = static_cast<std::uint8_t>(sensors[i].channel - 1);
        cfg.Sensors[i].TypeSensor = sensors[i].type;
    }
    cfg.CountStage = static_cast<std::uint16_t>(sc.stages.size());
    for (std::size_t s = 0; s < sc.stages.size(); ++s) {
        const StageSpec &sp = sc.stages[s];
        TStage &st = cfg.Stages[s];
        st.NameStage = sp.name;
        st.TypeStage = sp.shrouded ? TTypeStage::tsBandag : TTypeStage::tsFree;
        st.Diametr = sp.diameterMm;
        st.FResonance.Bottom = sp.resonances.empty()
                                   ? 1800.0
                                   : 60.0 * sp.resonances[0].naturalHz / sp.resonances[0].engineOrder * 0.99;
        st.FResonance.DeltaTop = 0.02;
        st.CountBlade = static_cast<std::uint16_t>(sp.blades);
        st.CountCalibrBlade = 0;
        st.CalibrLength = 7.0F;
        st.KfSigma = 1.0F;
        st.OrderBlade = false;
        st.CountPairs = static_cast<std::uint16_t>(sp.pairs.size());
        if (signatureMode) {
            st.TachoComb.divisor = 254;
            st.TachoComb.sensNumber = static_cast<std::uint8_t>(firstProbeSensor[s] + geo[s].signatureProbe);
        } else {
            st.TachoComb.divisor = static_cast<std::uint8_t>(sc.tacho.divisor - 1);
            st.TachoComb.sensNumber = 0;
        }
        for (std::size_t k = 0; k < sp.pairs.size(); ++k) {
            const PairGeometry &pg = geo[s].pairs[k];
            TPair &pr = st.Pairs[k];
            pr.NamePair = sp.pairs[k].name;
            pr.Root = static_cast<std::uint16_t>(firstProbeSensor[s] + pg.rootProbe);
            pr.Peak = static_cast<std::uint16_t>(firstProbeSensor[s] + pg.tipProbe);
            pr.SkipBlade = static_cast<std::uint16_t>(pg.skipBlade);
            pr.Base = 50.0F;
            pr.TachoShift = 0;
            pr.fi = static_cast<float>(sp.probes[pg.tipProbe].angleDeg);
            for (int b = 0; b < sp.blades; ++b)
                pr.NumberBlade[b] = static_cast<std::uint16_t>(pg.numberBlade[b]);
            pr.RebuildImpuls(sp.blades);
            pr.Checked = true;
            pr.Calibre = pr.CalibreOld = 1.0F;
        }
    }
    cfg.Mode = sc.analysis.steady ? TMode::mdStatic : TMode::mdDynamic;
    cfg.dN = sc.analysis.dN;
    cfg.Method = 0;
    cfg.Range._From = rangeFrom;
    cfg.Range._To = rangeTo;
    if (isReadOnlyFile(res.lfm))
        throw FileError(res.lfm, "the file is read-only; it is left as it is");
    RecordingMessageSink notices;
    cfg.SaveToFile(files.reserve(res.lfm), notices);
    if (!notices.messages().empty())
        throw FileError(res.lfm, "not written: " + notices.messages().front().text);

    if (signatureMode)
        for (std::size_t s = 0; s < sc.stages.size(); ++s) {
            const auto file =
                dir /
                ("signatureCh" + std::to_string(sc.stages[s].probes[geo[s].signatureProbe].channel) + ".shp");
            writeSignature(file, geo[s].signature, files);
            res.signatures.push_back(file);
        }

    bld.commit();
    if (bldx)
        bldx->commit();
    if (truth)
        truth->commit();
    if (modes)
        modes->commit();
    files.commit();

    for (std::size_t s = 0; s < sc.stages.size(); ++s) {
        res.revolutions.push_back(predictor.revolutions(static_cast<int>(s)));
        for (std::size_t k = 0; k < sc.stages[s].pairs.size(); ++k) {
            const PairTally &t = predictor.tallies()[s][k];
            res.pairs.push_back(
                {sc.stages[s].name, sc.stages[s].pairs[k].name, t.accepted, t.rejected, t.faulty});
        }
    }
    reportProgress(opt.progress, totalMs, totalMs);
    return res;
}

} // namespace vibrolan::sim
