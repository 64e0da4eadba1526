// The .lfm layout of TCfgDfm: the field order below is the file format.
#include "config/cfg_dfm.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vibrolan {

namespace {

std::int64_t absolute(std::int32_t v) { return v < 0 ? -static_cast<std::int64_t>(v) : v; }

// Remainder in 0 .. divisor-1 also for negative values, so a hostile value
// can never become an index past an array.
std::uint16_t euclidMod(std::int32_t v, std::int32_t divisor)
{
    const std::int32_t r = v % divisor;
    return static_cast<std::uint16_t>(r < 0 ? r + divisor : r);
}

// Nearest integer, halves to even. Values beyond any sensible packed number
// (and NaN, taken as 0) are limited so the arithmetic stays defined.
std::int64_t roundHalfEven(double x)
{
    if (std::isnan(x))
        return 0;
    constexpr double kLimit = 4.0e18;
    x = std::clamp(x, -kLimit, kLimit);
    const double floor = std::floor(x);
    const double diff = x - floor;
    auto result = static_cast<std::int64_t>(floor);
    if (diff > 0.5 || (diff == 0.5 && (result % 2) != 0))
        ++result;
    return result;
}

// Stored as a 32-bit integer the way the format always did: the low 32 bits.
std::int32_t wrapToInt32(std::int64_t v) { return static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }

// The band bottom is brought into the single range before it is stored.
float bottomAsSingle(double bottom)
{
    const double lowest = std::numeric_limits<float>::denorm_min();
    const double highest = std::numeric_limits<float>::max();
    if (bottom < lowest)
        bottom = lowest;
    else if (bottom > highest)
        bottom = highest;
    return static_cast<float>(bottom);
}

} // namespace

void TCfgDfm::WriteData()
{
    TCfgWriter &w = *Writer;
    w.WriteSignature(Signature);
    w.WriteString(FileName);

    // Counts above the capacities cannot be stored; the numbers written always
    // match the entries that follow, so the file stays readable.
    const std::size_t sensors = std::min<std::size_t>(CountSensors, kMaxSensors);
    w.WriteInteger(static_cast<std::int32_t>(sensors));
    for (std::size_t i = 0; i < sensors; ++i) {
        const TSensor &s = Sensors[i];
        w.WriteString(s.NameSensor);
        w.WriteInteger(s.firstbld * 256 + s.Chan);
        w.WriteInteger(static_cast<std::int32_t>(s.TypeSensor));
    }

    const std::size_t stages = std::min<std::size_t>(CountStage, kMaxStages);
    w.WriteInteger(static_cast<std::int32_t>(stages));
    for (std::size_t si = 0; si < stages; ++si) {
        const TStage &st = Stages[si];
        w.WriteString(st.NameStage);
        w.WriteInteger(static_cast<std::int32_t>(st.TypeStage));
        w.WriteSingle(static_cast<float>(st.Diametr));
        w.WriteSingle(bottomAsSingle(st.FResonance.Bottom));
        const std::size_t blades = st.CountBlade % 256;
        w.WriteInteger(static_cast<std::uint16_t>(blades + 256 * st.CountCalibrBlade));
        const std::size_t pairs = std::min<std::size_t>(st.CountPairs, kMaxPairs);
        w.WriteInteger(static_cast<std::int32_t>(pairs));
        w.WriteBoolean(st.OrderBlade);
        w.WriteSingle(st.KfSigma);
        const std::int32_t harms = std::clamp<std::int32_t>(st.CountHarm, 0, kMaxHarmonics);
        w.WriteInteger(
            wrapToInt32(std::int64_t{harms} * 10000 + roundHalfEven(st.FResonance.DeltaTop * 10000)));
        for (std::int32_t i = 0; i < harms; ++i)
            w.WriteInteger(st.OrderHarm[i]);
        w.WriteSingle(st.f1);
        w.WriteSingle(st.LimStressResonance);
        w.WriteSingle(st.LimStressStill);
        w.WriteSingle(st.BIn);
        w.WriteSingle(st.CalibrLength);
        for (std::size_t pi = 0; pi < pairs; ++pi) {
            const TPair &p = st.Pairs[pi];
            w.WriteString(p.NamePair);
            w.WriteInteger(p.Root);
            w.WriteInteger(p.Peak);
            w.WriteInteger(p.SkipBlade);
            w.WriteSingle(p.Base);
            w.WriteSingle(p.TachoShift);
            for (std::size_t k = 0; k < blades; ++k)
                w.WriteInteger(p.NumberBlade[k]);
            w.WriteBoolean(p.Checked);
            w.WriteSingle(p.fi);
        }
        w.WriteInteger(st.TachoComb.AsWord());
    }

    w.WriteInteger(static_cast<std::int32_t>(Mode));
    w.WriteString(FileName);
    w.WriteFloat(dN);
    w.WriteFloat(LoTaho);
    w.WriteFloat(HiTaho);
    w.WriteFloat(LoAmpl);
    w.WriteFloat(HiAmpl);
    w.WriteInteger(Method);
    w.WriteFloat(Range._From);
    w.WriteFloat(Range._To);
    w.WriteInteger(thNumPoint);
    w.WriteInteger(mgNumPoint);
    for (float v : {f2, f3, f4, g1, g2, g3, g4, g5, h1, h4, h5})
        w.WriteFloat(v);
    w.WriteString(NmSource);
    w.WriteString(NmTarget);
    w.WriteString(NmMessage);
    w.WriteString(NmHolder);
    w.WriteString(NmGates);
    w.WriteBoolean(UseGates);
}

void TCfgDfm::ReadData()
{
    TCfgReader &r = *Reader;
    r.ReadSignature(Signature);
    FileName = r.ReadString();

    // A sensor count above the capacity (never written by this program) keeps
    // the first 96 sensors; the surplus entries are read and dropped so the
    // stages after them still load in step.
    const auto storedSensors = static_cast<std::uint16_t>(r.ReadInteger());
    CountSensors = static_cast<std::uint16_t>(std::min<std::size_t>(storedSensors, kMaxSensors));
    for (std::size_t i = 0; i < storedSensors; ++i) {
        TSensor surplus;
        TSensor &s = i < kMaxSensors ? Sensors[i] : surplus;
        s.NameSensor = r.ReadString();
        const std::int32_t v = r.ReadInteger();
        s.Chan = static_cast<std::uint8_t>(v & 255);
        s.firstbld = static_cast<std::uint8_t>((v & 32512) / 256);
        s.TypeSensor = static_cast<TTypeSensor>(static_cast<std::uint8_t>(r.ReadInteger()));
    }

    CountStage = static_cast<std::uint16_t>(std::min<std::int64_t>(absolute(r.ReadInteger()), kMaxStages));
    for (std::size_t si = 0; si < CountStage; ++si) {
        TStage &st = Stages[si];
        st.NameStage = r.ReadString();
        st.TypeStage = static_cast<TTypeStage>(static_cast<std::uint8_t>(r.ReadInteger()));
        st.Diametr = r.ReadSingle();
        st.FResonance.Bottom = r.ReadSingle();
        std::int64_t v = absolute(r.ReadInteger());
        st.CountBlade = static_cast<std::uint16_t>(v % 256);
        st.CountCalibrBlade = static_cast<std::uint16_t>((v / 256) % 256);
        st.CountPairs =
            static_cast<std::uint16_t>(std::min<std::int64_t>(absolute(r.ReadInteger()), kMaxPairs));
        st.OrderBlade = r.ReadBoolean();
        st.KfSigma = r.ReadSingle();
        v = absolute(r.ReadInteger());
        st.CountHarm = static_cast<std::int32_t>(std::min<std::int64_t>(v / 10000, kMaxHarmonics));
        st.FResonance.DeltaTop = static_cast<double>(v % 10000) / 10000;
        for (std::int32_t i = 0; i < st.CountHarm; ++i)
            st.OrderHarm[i] =
                static_cast<std::uint16_t>(std::min<std::int64_t>(absolute(r.ReadInteger()), 255));
        st.f1 = r.ReadSingle();
        st.LimStressResonance = r.ReadSingle();
        st.LimStressStill = r.ReadSingle();
        st.BIn = r.ReadSingle();
        st.CalibrLength = r.ReadSingle();
        for (std::size_t pi = 0; pi < st.CountPairs; ++pi) {
            TPair &p = st.Pairs[pi];
            p.NamePair = r.ReadString();
            p.Root = euclidMod(r.ReadInteger(), 48);
            p.Peak = euclidMod(r.ReadInteger(), 48);
            p.SkipBlade = euclidMod(r.ReadInteger(), 24);
            p.Base = r.ReadSingle();
            p.TachoShift = r.ReadSingle();
            for (std::size_t k = 0; k < st.CountBlade; ++k) {
                const std::uint16_t blade = euclidMod(r.ReadInteger(), st.CountBlade);
                p.NumberBlade[k] = blade;
                p.Impuls[blade] = static_cast<std::uint16_t>(k);
            }
            p.Checked = r.ReadBoolean();
            p.fi = r.ReadSingle();
            p.Calibre = 1.0F;
            p.CalibreOld = 1.0F;
        }
        v = absolute(r.ReadInteger());
        if (v / 256 >= CountSensors)
            v = 256;
        st.TachoComb.SetWord(static_cast<std::uint16_t>(v));
    }

    Mode = static_cast<TMode>(static_cast<std::uint8_t>(r.ReadInteger()));
    FileName = r.ReadString();
    dN = r.ReadFloat();
    LoTaho = r.ReadFloat();
    HiTaho = r.ReadFloat();
    LoAmpl = r.ReadFloat();
    HiAmpl = r.ReadFloat();
    Method = static_cast<std::uint16_t>(std::min<std::int64_t>(absolute(r.ReadInteger()), 255));
    Range._From = r.ReadFloat();
    Range._To = r.ReadFloat();
    thNumPoint = static_cast<std::uint16_t>(r.ReadInteger() & 65535);
    mgNumPoint = static_cast<std::uint16_t>(r.ReadInteger() & 65535);
    for (float *f : {&f2, &f3, &f4, &g1, &g2, &g3, &g4, &g5, &h1, &h4, &h5})
        *f = static_cast<float>(r.ReadFloat());

    // Older files end here; what they lack keeps its value.
    auto more = [&] { return static_cast<std::int64_t>(r.Position()) < FileLength; };
    for (std::string *s : {&NmSource, &NmTarget, &NmMessage, &NmHolder, &NmGates})
        if (more())
            *s = r.ReadString();
    if (more())
        UseGates = r.ReadBoolean();
}

} // namespace vibrolan
