#include "run/processing_run.hpp"

#include "base/errors.hpp"
#include "base/histogram.hpp"
#include "config/cfg_validate.hpp"
#include "output/date_time_text.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/recording_image.hpp"
#include "recording/recording_kind.hpp"
#include "run/assemble_stage.hpp"
#include "run/memory_estimate.hpp"

#include <algorithm>
#include <cfloat>
#include <memory>
#include <optional>

namespace vibrolan {

namespace {

// The histograms stay in the configuration after the run and keep their
// sink for life; they get this relay, which reaches the run's sink while the
// run fills them and answers by itself afterwards.
class SinkRelay final : public MessageSink {
public:
    Answer show(const Message &message) override
    {
        return target ? target->show(message) : affirmativeAnswer(message.buttons);
    }
    MessageSink *target = nullptr;
};

SinkRelay &histogramRelay()
{
    static SinkRelay relay;
    return relay;
}

struct RelayTarget {
    explicit RelayTarget(MessageSink &sink) { histogramRelay().target = &sink; }
    ~RelayTarget() { histogramRelay().target = nullptr; }
    RelayTarget(const RelayTarget &) = delete;
    RelayTarget &operator=(const RelayTarget &) = delete;
};

std::size_t stageCount(const TCfgDfm &cfg) { return std::min<std::size_t>(cfg.CountStage, kMaxStages); }
std::size_t pairCount(const TStage &st) { return std::min<std::size_t>(st.CountPairs, kMaxPairs); }
std::size_t bladeCount(const TStage &st) { return std::min<std::size_t>(st.CountBlade, kMaxBlades); }

std::size_t positionIn(const TPair &p, std::size_t countBlade, std::size_t blade)
{
    for (std::size_t k = 0; k < countBlade; ++k)
        if (p.NumberBlade[k] == blade)
            return k;
    return 255;
}

void phase(const TRunCallbacks &cb, std::string_view caption)
{
    if (cb.phase)
        cb.phase(caption);
}

RecordingImage obtainImage(const TCfgDfm &cfg, MessageSink &sink, const TRunCallbacks &cb)
{
    const std::filesystem::path file = cfg.FileName;
    if (IsCompressedRecordingName(file)) {
        phase(cb, kUnpackCaption);
        UnpackResult unpacked = UnpackRecording(file, sink, cb.unpack);
        phase(cb, kRunCaption);
        return RecordingImage::fromBytes(std::move(unpacked.image), file);
    }
    return RecordingImage::mapFile(file);
}

} // namespace

void OrderBlades(TStage &stage)
{
    const std::size_t nb = bladeCount(stage);
    const TPair &first = stage.Pairs[0];
    for (std::size_t p = 0; p < pairCount(stage); ++p) {
        TPair &pair = stage.Pairs[p];
        if (!pair.Checked)
            continue;
        std::array<std::uint16_t, 256> k = pair.NumberBlade;
        for (std::size_t i = 1; i < nb; ++i)
            for (std::size_t j = 0; j < i; ++j)
                if (k[i] < k[j]) {
                    std::swap(k[i], k[j]);
                    std::swap(pair.Ampl[i], pair.Ampl[j]);
                }
        // A blade this pair sees earlier in the revolution than pair 0 does
        // belongs to the next revolution of pair 0's count.
        for (std::size_t b = 0; b < nb; ++b)
            if (positionIn(pair, nb, b) < positionIn(first, nb, b))
                pair.AmplOffs[b] = 4;
        if (pair.Size >= 1)
            --pair.Size;
    }
}

void BladeRanges(TStage &stage)
{
    const double bottom = stage.FResonance.Bottom;
    const double top = (stage.FResonance.DeltaTop + 1) * stage.FResonance.Bottom;
    for (std::size_t p = 0; p < pairCount(stage); ++p) {
        TPair &pair = stage.Pairs[p];
        if (!pair.Checked)
            continue;
        for (std::size_t b = 0; b < bladeCount(stage); ++b) {
            const std::span<const float> a = std::as_const(pair).AmplSeries(b);
            const std::size_t n =
                std::min({static_cast<std::size_t>(std::max(pair.Size, 0)), a.size(), pair.Freq.size()});
            float lo = FLT_MAX, hi = -FLT_MAX;
            float bandMax = 0, bandMin = 0;
            bool inBand = false;
            for (std::size_t i = 0; i < n; ++i) {
                lo = std::min(lo, a[i]);
                hi = std::max(hi, a[i]);
                const double f = pair.Freq[i];
                if (f >= bottom && f <= top) {
                    bandMax = inBand ? std::max(bandMax, a[i]) : a[i];
                    bandMin = inBand ? std::min(bandMin, a[i]) : a[i];
                    inBand = true;
                }
            }
            pair.lopmin[b] = lo;
            pair.lopmax[b] = hi;
            pair.PairResAmplitude[b] = static_cast<double>(bandMax) - static_cast<double>(bandMin);
        }
    }
}

void BladeHistograms(TStage &stage, MessageSink &sink)
{
    RelayTarget relay(sink);
    for (std::size_t p = 0; p < pairCount(stage); ++p) {
        TPair &pair = stage.Pairs[p];
        for (std::size_t b = 0; b < bladeCount(stage); ++b) {
            const double mn = 1.1 * pair.lopmin[b] - 0.1 * pair.lopmax[b];
            const double mx = 1.1 * pair.lopmax[b] - 0.1 * pair.lopmin[b];
            auto h = std::make_shared<THistogramm>(100, mn, mx, histogramRelay());
            if (pair.Checked) {
                const std::span<const float> a = std::as_const(pair).AmplSeries(b);
                const std::size_t n = std::min(static_cast<std::size_t>(std::max(pair.Size, 0)), a.size());
                for (std::size_t i = 0; i < n; ++i)
                    h->Add(a[i]);
            }
            pair.histgrms[b] = std::move(h);
        }
    }
}

TRunResult ProcessingRun(TCfgDfm &cfg, const TRunInputs &inputs, MessageSink &sink, const NumberFormat &fmt,
                         const TRunCallbacks &cb)
{
    TRunResult result;
    // Data-file input (TypeFile = 1) brings its series ready-made: the run
    // neither needs nor reads a recording.
    const bool recordingInput = cfg.TypeFile == 0;
    std::error_code ec;
    if (recordingInput && (cfg.FileName.empty() || !std::filesystem::exists(cfg.FileName, ec))) {
        sink.show(Message{kNoRecordingCaption, kNoRecordingText, Buttons::Ok, Severity::Warning});
        result.status = TRunStatus::NoRecording;
        return result;
    }
    // A configuration the pass would refuse is refused before any result is released.
    for (std::size_t s = 0; s < stageCount(cfg); ++s)
        CheckAssemblyInputs(cfg, s);
    CheckNumericFields(cfg);
    CheckMemoryForRun(cfg);

    // Time code: the last time-code sensor of the table wins.
    int timeChan = -1;
    bool timeIsIrig = false;
    for (std::size_t i = 0; i < std::min<std::size_t>(cfg.CountSensors, kMaxSensors); ++i) {
        if (cfg.Sensors[i].TypeSensor == TTypeSensor::srUTS) {
            timeChan = cfg.Sensors[i].Chan;
            timeIsIrig = false;
        } else if (cfg.Sensors[i].TypeSensor == TTypeSensor::srIRIG_B) {
            timeChan = cfg.Sensors[i].Chan;
            timeIsIrig = true;
        }
    }
    std::optional<TUnTimeAutomat> timeDecoder;
    if (timeChan != -1) {
        timeDecoder.emplace();
        if (timeIsIrig)
            timeDecoder->setTipeOfTime(TTypeOfTime::IRIG);
    }

    if (recordingInput)
        cfg.FreeData();
    for (std::size_t s = 0; s < stageCount(cfg); ++s) {
        TStage &st = cfg.Stages[s];
        if (st.TypeStage == TTypeStage::tsBandag) {
            st.Xnom.emplace();
            st.Snom.emplace();
        }
        if (recordingInput)
            PreparePairStorage(st);
    }
    if (cfg.Range._To - cfg.Range._From < 0.0001) {
        cfg.Range._From = 0;
        cfg.Range._To = 10000;
    }
    phase(cb, kRunCaption);

    if (recordingInput) {
        const RecordingImage image = obtainImage(cfg, sink, cb);
        const RecordingHeader &head = image.header();
        if (head.hasSignature)
            result.CaptionSuffix =
                " от " +
                datafiles::formatDateTime(head.RecordDate, fmt.shortDateFormat + " " + fmt.longTimeFormat);
        result.TickPeriod = head.tickPeriod();

        auto pass = std::make_unique<TPulsePass>();
        pass->RecImage = image.bytes();
        pass->FirstRec = image.firstRecord();
        pass->RecCount = image.passEnd(cfg.CountSensors);
        pass->TickPeriod = head.tickPeriod();
        pass->SpeedFactor = head.speedFactor();
        pass->TimeChan = timeChan;
        pass->TimeDecoder = timeDecoder ? &*timeDecoder : nullptr;
        pass->Gates = inputs.Gates;

        for (TStage &st : cfg.Stages)
            for (TPair &p : st.Pairs) {
                p.Size = 0;
                p.SizeOfBad = 0;
            }
        auto makeDetector = [&](std::size_t s, MessageSink &to) {
            const TStage &st = cfg.Stages[s];
            return std::make_unique<TTachoDetector>(
                std::max<int>(1, st.CountBlade),
                signatureFileName(inputs.CfgFileName, cfg.Sensors[st.TachoComb.sensNumber].Chan), to);
        };
        if (inputs.Straightforward) {
            for (std::size_t s = 0; s < stageCount(cfg); ++s) {
                pass->TachoDivisor = cfg.Stages[s].TachoComb.divisor + 1;
                std::unique_ptr<TTachoDetector> detector;
                if (pass->TachoDivisor == 255)
                    detector = makeDetector(s, sink);
                pass->Detector = detector.get();
                AssembleStage(cfg, s, *pass, sink, fmt, cb.pass);
                pass->Detector = nullptr;
            }
        } else {
            // All stages in one walk. A stage's detector reports a missing
            // signature before that stage's rejections, as stage after stage
            // would: its messages are held until the walk is over.
            std::vector<std::unique_ptr<TTachoDetector>> detectors(stageCount(cfg));
            std::vector<RecordingMessageSink> detectorMessages(stageCount(cfg));
            std::vector<TStageTacho> tachos(stageCount(cfg));
            for (std::size_t s = 0; s < stageCount(cfg); ++s) {
                tachos[s].Divisor = cfg.Stages[s].TachoComb.divisor + 1;
                if (tachos[s].Divisor == 255) {
                    detectors[s] = makeDetector(s, detectorMessages[s]);
                    tachos[s].Detector = detectors[s].get();
                }
            }
            AssembleStages(cfg, *pass, tachos, cb.pass);
            for (std::size_t s = 0; s < stageCount(cfg); ++s) {
                for (const Message &m : detectorMessages[s].messages())
                    sink.show(m);
                ShowRejections(cfg.Stages[s], sink, fmt);
            }
        }
        result.RevCount = pass->RevCount;
    } // the pulse buffers and the recording image are released here

    for (std::size_t s = 0; s < stageCount(cfg); ++s)
        OrderBlades(cfg.Stages[s]);
    phase(cb, {});
    for (std::size_t s = 0; s < stageCount(cfg); ++s) {
        BladeRanges(cfg.Stages[s]);
        BladeHistograms(cfg.Stages[s], sink);
    }
    CalcStages(cfg, cb.blade, TCalcOptions{inputs.Threads, cb.calc, inputs.Straightforward});
    if (cb.report)
        cb.report(cfg);
    for (std::size_t s = 0; s < stageCount(cfg); ++s) {
        TStage &st = cfg.Stages[s];
        if (st.TypeStage == TTypeStage::tsBandag) {
            st.Xnom.reset();
            st.Snom.reset();
        }
    }

    for (std::size_t s = 0; s < stageCount(cfg); ++s) {
        const TStage &st = cfg.Stages[s];
        for (std::size_t p = 0; p < pairCount(st); ++p) {
            const TPair &pair = st.Pairs[p];
            if (!pair.Checked)
                continue;
            result.CheckedPairs.emplace_back(static_cast<int>(s), static_cast<int>(p));
            if (result.FirstStage < 0) {
                result.FirstStage = static_cast<int>(s);
                result.FirstPair = static_cast<int>(p);
            }
            for (std::size_t n = 0; n < bladeCount(st); ++n)
                result.BladeNames.push_back(st.NameStage + ":" + pair.NamePair + ":Лопатка" +
                                            std::to_string(n + 1));
        }
    }
    result.FrequencyAxis = cfg.Mode == TMode::mdDynamic;
    result.ShowTimeAxis = cfg.Mode != TMode::mdDynamic || recordingInput;
    return result;
}

} // namespace vibrolan
