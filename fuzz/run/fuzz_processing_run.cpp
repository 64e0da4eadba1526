// The revolution assembly and the whole processing run on arbitrary pulse
// records: the first bytes choose a small configuration (1-2 stages of 1-8
// blades, 1-2 pairs each, sensors on channels 0-7, tacho divisors 1-4, skip
// counts, tacho shifts, blade numbering, shrouded or free stages, run-through
// or steady state, up to two angle gates); the rest is the recording image,
// with or without a header. That is where the index arithmetic lives.
#include "base/errors.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "output/fuzz_dir.hpp"
#include "recording/angle_gates.hpp"
#include "run/processing_run.hpp"

#include <cstdint>
#include <new>

using namespace vibrolan;

namespace {

class Bytes {
public:
    Bytes(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}
    // Zero once the input is used up; the position advances either way.
    std::uint8_t next()
    {
        const std::uint8_t b = pos_ < size_ ? data_[pos_] : 0;
        ++pos_;
        return b;
    }
    std::size_t used() const { return pos_; }

private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

constexpr std::size_t kConfigBytes = 64;

void configure(TCfgDfm &cfg, Bytes &in, TAngleGates &gates)
{
    cfg.InitDefault();
    cfg.Mode = (in.next() & 1) ? TMode::mdStatic : TMode::mdDynamic;
    cfg.dN = 10 + in.next();
    cfg.CountSensors = static_cast<std::uint16_t>(2 + in.next() % 5);
    for (std::size_t i = 0; i < cfg.CountSensors; ++i) {
        cfg.Sensors[i].Chan = static_cast<std::uint8_t>(in.next() % 8);
        cfg.Sensors[i].TypeSensor =
            i == 0 ? TTypeSensor::srTaho : (i % 2 ? TTypeSensor::srRoot : TTypeSensor::srPeak);
    }
    cfg.CountStage = static_cast<std::uint16_t>(1 + in.next() % 2);
    for (std::size_t s = 0; s < cfg.CountStage; ++s) {
        TStage &st = cfg.Stages[s];
        st.TypeStage = (in.next() & 1) ? TTypeStage::tsBandag : TTypeStage::tsFree;
        st.CountBlade = static_cast<std::uint16_t>(1 + in.next() % 8);
        st.CountPairs = static_cast<std::uint16_t>(1 + in.next() % 2);
        st.TachoComb.divisor = static_cast<std::uint8_t>(in.next() % 4);
        st.TachoComb.sensNumber = static_cast<std::uint8_t>(in.next() % cfg.CountSensors);
        st.OrderBlade = in.next() & 1;
        for (std::size_t p = 0; p < st.CountPairs; ++p) {
            TPair &pr = st.Pairs[p];
            pr.Checked = true;
            pr.Root = static_cast<std::uint16_t>(in.next() % cfg.CountSensors);
            pr.Peak = static_cast<std::uint16_t>(in.next() % cfg.CountSensors);
            pr.SkipBlade = static_cast<std::uint16_t>(in.next() % (st.CountBlade + 1));
            pr.TachoShift = static_cast<float>(static_cast<std::int8_t>(in.next())) * 3.0f;
            const std::uint8_t rotate = in.next();
            for (std::size_t b = 0; b < st.CountBlade; ++b)
                pr.NumberBlade[b] = static_cast<std::uint16_t>((b + rotate) % st.CountBlade);
            pr.RebuildImpuls(st.CountBlade);
        }
    }
    const std::uint8_t gateCount = in.next() % 3;
    for (std::uint8_t g = 0; g < gateCount; ++g) {
        TAngleGate gate;
        gate.Chan = static_cast<std::uint8_t>(in.next() % 8);
        gate.TachoChan = static_cast<std::uint8_t>(in.next() % 8);
        gate.demon = in.next() & 1;
        gate.lpillar = static_cast<float>(in.next()) / 256.0f;
        gate.rpillar = gate.lpillar + static_cast<float>(in.next()) / 256.0f;
        gates.AddGt(gate);
    }
    while (in.used() < kConfigBytes)
        in.next();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::filesystem::path &dir = fuzz::scratchDir("processing_run");
    TCfgDfm cfg;
    TAngleGates gates;
    Bytes in(data, size);
    configure(cfg, in, gates);
    const std::size_t image = size > kConfigBytes ? size - kConfigBytes : 0;
    cfg.FileName = fuzz::writeInput(dir / "r.bld", data + size - image, image).string();
    NullMessageSink sink;
    TRunInputs inputs;
    inputs.CfgFileName = dir / "r.lfm";
    inputs.Gates = gates.NGates() > 0 ? &gates : nullptr;
    try {
        ProcessingRun(cfg, inputs, sink, NumberFormat{});
    } catch (const vibrolan::Error &) {
    } catch (const std::bad_alloc &) {
    }
    return 0;
}
