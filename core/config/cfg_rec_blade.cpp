#include "config/cfg_rec_blade.hpp"

#include "base/errors.hpp"
#include "config/cfg_dfm.hpp"
#include "config/program_folder.hpp"

#include <algorithm>

namespace vibrolan {

TCfgRecBlade::TCfgRecBlade(MessageSink &messages, TAngleGates *Gts, std::string Sign, std::string *GtFileName)
    : TConfig(std::move(Sign)), fGates(Gts), GateFileName(GtFileName), messages_(&messages)
{
}

void TCfgRecBlade::InitDefault()
{
    FileName = ProgramFolderFile("TEST.BLD");
    CountChannel = static_cast<std::uint16_t>((CountChannel & 0xFF00) | 16);
    for (std::uint16_t i = 0; i < 16; ++i)
        Channels[i] = static_cast<std::uint16_t>(i + 1);
    CountBlade = 100;
    CountImpuls = 100;
    for (TPair4rec *p : {&Pair1, &Pair2}) {
        p->Root = 1;
        p->Peak = 2;
        p->Skip = 0;
        p->OrderChanTacho = 0;
        p->divisorTacho = 1;
        p->Diametr = 1000.0;
    }
    for (std::uint16_t i = 0; i < kRecNumbering; ++i) {
        Impuls[i] = static_cast<std::uint16_t>(i + 1);
        OrderBlade[i] = static_cast<std::uint16_t>(i + 1);
    }
    for (std::size_t i = 0; i < kRecChannels; ++i) {
        CompLevel[i] = 9;
        SensorName[i] = "D" + std::to_string(i + 1);
        TypeSensor[i] = 0;
    }
    AxisX = true;
    SizeBuf = 3;
    Astop = 0;
    Incrmodule = 0;
    Astart = 0;
    Trace = 6;
}

void TCfgRecBlade::WriteData()
{
    TCfgWriter &w = *Writer;
    w.WriteSignature(Signature);
    w.WriteString(FileName);
    // The numbers written always match the entries that follow.
    const std::size_t channels = std::min<std::size_t>(ChannelCount(), kRecChannels);
    w.WriteInteger(static_cast<std::int32_t>(channels));
    for (std::size_t i = 0; i < channels; ++i)
        w.WriteInteger(Channels[i]);
    w.WriteInteger(Pair2.OrderChanTacho * 256 + Pair1.OrderChanTacho);
    w.WriteInteger(Pair2.divisorTacho * 256 + Pair1.divisorTacho);
    w.WriteInteger(Pair2.Root * 256 + Pair1.Root);
    w.WriteInteger(Pair2.Peak * 256 + Pair1.Peak);
    w.WriteInteger(Pair2.Skip * 256 + Pair1.Skip);
    const std::size_t blades = std::min<std::size_t>(CountBlade, kRecNumbering);
    const std::size_t marks = std::min<std::size_t>(CountImpuls, kRecNumbering);
    w.WriteInteger(static_cast<std::int32_t>(blades));
    w.WriteInteger(static_cast<std::int32_t>(marks));
    for (std::size_t i = 0; i < blades; ++i)
        w.WriteInteger(OrderBlade[i]);
    for (std::size_t i = 0; i < marks; ++i)
        w.WriteInteger(Impuls[i]);
    w.WriteBoolean(Pair2.AutoScaleY);
    w.WriteSingle(static_cast<float>(Pair1.Diametr));
    w.WriteSingle(static_cast<float>(Pair2.Diametr));
    for (std::size_t i = 0; i < kRecChannels; ++i) {
        w.WriteInteger(CompLevel[i]);
        w.WriteString(SensorName[i]);
        w.WriteInteger(TypeSensor[i]);
    }
    w.WriteBoolean(Pair1.AutoScaleY);
    w.WriteBoolean(true);
    w.WriteSingle(Pair1.MinY);
    w.WriteSingle(Pair2.MinY);
    w.WriteBoolean(true);
    w.WriteSingle(Pair1.MaxY);
    w.WriteSingle(Pair2.MaxY);
    w.WriteString(Comm);
    w.WriteBoolean(AxisX);
    w.WriteInteger(SizeBuf);
    w.WriteSingle(Pair1.ShiftTacho);
    w.WriteSingle(Pair2.ShiftTacho);
}

void TCfgRecBlade::ReadData()
{
    TCfgReader &r = *Reader;
    r.ReadSignature(Signature);
    FileName = r.ReadString();

    // Channel entries beyond the 32 the recorder has are read and dropped; the
    // count itself is kept, so the import refuses it clearly.
    CountChannel = static_cast<std::uint16_t>(r.ReadInteger());
    for (std::size_t i = 0; i < ChannelCount(); ++i) {
        const auto channel = static_cast<std::uint16_t>(r.ReadInteger());
        if (i < kRecChannels)
            Channels[i] = channel;
    }

    // Counts and numbering must be 8- or 16-bit integers; anything else stops
    // reading with the box naming the item.
    bool ok = true;
    auto checked = [&](std::string_view item) -> std::int32_t {
        if (!ok)
            return 0;
        const TValueType tag = r.NextValue();
        if (tag != TValueType::vaInt8 && tag != TValueType::vaInt16) {
            ok = false;
            messages_->show(
                Message{std::string(kRecInputErrorCaption), std::string(item), Buttons::Ok, Severity::Error});
            return 0;
        }
        return r.ReadInteger();
    };
    auto pairWord = [&](std::string_view item, std::uint16_t TPair4rec::*field) {
        const std::int32_t v = checked(item);
        if (!ok)
            return;
        Pair1.*field = static_cast<std::uint16_t>(v & 255);
        Pair2.*field = static_cast<std::uint16_t>(v / 256);
    };
    pairWord("ввод тахоканала", &TPair4rec::OrderChanTacho);
    pairWord("ввод делителя тахо", &TPair4rec::divisorTacho);
    pairWord("ввод корневых датчиков", &TPair4rec::Root);
    pairWord("ввод перифер. датчиков", &TPair4rec::Peak);
    pairWord("ввод пропускаемых лопаток", &TPair4rec::Skip);
    const auto blades = static_cast<std::uint16_t>(checked("ввод числа лопаток"));
    if (!ok)
        return;
    CountBlade = std::min<std::uint16_t>(blades, kRecNumbering);
    const auto marks = static_cast<std::uint16_t>(checked("ввод числа импульсов"));
    if (!ok)
        return;
    CountImpuls = std::min<std::uint16_t>(marks, kRecNumbering);
    // More entries than the 100 places (never written by the recorder) are
    // read and dropped so the fields after them stay in step.
    for (std::size_t i = 0; i < blades; ++i) {
        const auto v = static_cast<std::uint16_t>(checked("ввод номера лопатки"));
        if (!ok)
            return;
        if (i < kRecNumbering)
            OrderBlade[i] = v;
    }
    for (std::size_t i = 0; i < marks; ++i) {
        const auto v = static_cast<std::uint16_t>(checked("ввод номера импульса"));
        if (!ok)
            return;
        if (i < kRecNumbering)
            Impuls[i] = v;
    }

    if (r.NextValue() == TValueType::vaExtended) { // older layout: one diameter
        Pair1.Diametr = r.ReadFloat();
    } else {
        Pair2.AutoScaleY = r.ReadBoolean();
        Pair1.Diametr = r.ReadSingle();
        Pair2.Diametr = r.ReadSingle();
    }
    for (std::size_t i = 0; i < kRecChannels; ++i) {
        CompLevel[i] = static_cast<std::uint16_t>(r.ReadInteger() & 65535);
        SensorName[i] = r.ReadString();
        TypeSensor[i] = static_cast<std::uint16_t>(r.ReadInteger() & 255);
    }
    Pair1.AutoScaleY = r.ReadBoolean();

    auto atEnd = [&] { return static_cast<std::int64_t>(r.Position()) >= FileLength; };
    auto readScale = [&](float TPair4rec::*field) {
        if (r.NextValue() == TValueType::vaExtended) { // older layout: one value
            Pair1.*field = static_cast<float>(r.ReadFloat());
        } else {
            r.ReadBoolean();
            Pair1.*field = r.ReadSingle();
            Pair2.*field = r.ReadSingle();
        }
    };
    if (atEnd())
        return;
    readScale(&TPair4rec::MinY);
    if (atEnd())
        return;
    readScale(&TPair4rec::MaxY);
    Comm = r.ReadString();
    AxisX = r.ReadBoolean();
    // The index selects one of seven frame sizes; a negative one counts as 0.
    SizeBuf = static_cast<std::uint16_t>(std::clamp(r.ReadInteger(), 0, 6));
    if (!atEnd() && r.NextValue() == TValueType::vaSingle) {
        Pair1.ShiftTacho = r.ReadSingle();
        if (!atEnd() && r.NextValue() == TValueType::vaSingle)
            Pair2.ShiftTacho = r.ReadSingle();
    }
}

namespace {

void convertPair(const TPair4rec &from, const std::array<std::uint16_t, kRecChannels> &channels,
                 TStage &stage, const char *stageName, const char *pairName)
{
    stage.NameStage = stageName;
    stage.CountPairs = 1;
    stage.Diametr = from.Diametr;
    if (from.OrderChanTacho >= kRecChannels)
        throw ValueError("ступень \"" + std::string(stageName) + "\": индекс тахоканала " +
                         std::to_string(from.OrderChanTacho) + " вне списка из 32 каналов");
    const std::uint16_t tacho = channels[from.OrderChanTacho];
    if (tacho == 0)
        throw ValueError("ступень \"" + std::string(stageName) + "\": тахоканал в позиции " +
                         std::to_string(from.OrderChanTacho) + " имеет номер 0");
    stage.TachoComb.sensNumber = static_cast<std::uint8_t>(tacho - 1);
    if (from.divisorTacho == 0)
        throw ValueError("ступень \"" + std::string(stageName) + "\": делитель тахо равен 0");
    stage.TachoComb.divisor = static_cast<std::uint8_t>(from.divisorTacho - 1);
    TPair &pair = stage.Pairs[0];
    pair.NamePair = pairName;
    pair.Peak = from.Peak;
    pair.Root = from.Root;
    pair.SkipBlade = from.Skip;
    pair.TachoShift = from.ShiftTacho;
}

} // namespace

bool TCfgRecBlade::ConvertTo(TCfgDfm &target) const
{
    target.CountStage = 2;
    const std::size_t channels = ChannelCount();
    if (channels > kRecChannels)
        throw ValueError("число каналов " + std::to_string(channels) + " больше 32");
    target.CountSensors = static_cast<std::uint16_t>(channels);
    for (std::size_t i = 0; i < channels; ++i) {
        TSensor &s = target.Sensors[i];
        s.NameSensor = SensorName[i];
        if (Channels[i] == 0)
            throw ValueError("канал в позиции " + std::to_string(i + 1) + " имеет номер 0");
        s.Chan = static_cast<std::uint8_t>(Channels[i] - 1);
        s.TypeSensor = static_cast<TTypeSensor>(TypeSensor[i] & 0xFF);
        s.firstbld = 0;
    }
    convertPair(Pair1, Channels, target.Stages[0], "1-st_stage", "1-st_stage pair");
    convertPair(Pair2, Channels, target.Stages[1], "2-nd_stage", "2-st_stage pair");
    return true;
}

} // namespace vibrolan
