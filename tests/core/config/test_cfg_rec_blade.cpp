#include "config/cfg_dfm.hpp"
#include "config/cfg_rec_blade.hpp"
#include "config/program_folder.hpp"

#include "base/errors.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;

namespace {

// Writes a recorder stream value by value, the way the recorder's versions
// laid it out; the options select the older forms.
struct RbdLayout {
    bool oneDiameter = false;    // diameters as one extended float
    bool oneValueScales = false; // minima and maxima as one extended float each
    bool withShifts = true;
    int sizeBuf = 3;
    int rootWord = 0x0102;
    int badItem = -1; // index of the checked value written as a 32-bit integer
};

std::vector<std::uint8_t> rbd(const RbdLayout &o)
{
    TMemoryStream stream;
    {
        TCfgWriter w(stream, 64);
        int checked = 0;
        auto item = [&](int v) {
            if (checked++ == o.badItem) {
                w.WriteValue(TValueType::vaInt32);
                w.Write("\x01\x00\x01\x00", 4);
            } else {
                w.WriteInteger(v);
            }
        };
        w.WriteSignature("@RECBLD");
        w.WriteString("rec.bld");
        w.WriteInteger(3);
        for (int c : {5, 6, 7})
            w.WriteInteger(c);
        item(0x0100); // tacho channel: pair 2 -> 1, pair 1 -> 0
        item(0x0201); // divisor
        item(o.rootWord);
        item(0x0202);
        item(0x0000);
        item(2); // blades
        item(2); // marks
        item(2);
        item(1);
        item(1);
        item(2);
        if (o.oneDiameter) {
            w.WriteFloat(640.0);
        } else {
            w.WriteBoolean(true);
            w.WriteSingle(640.0F);
            w.WriteSingle(820.0F);
        }
        for (int i = 0; i < 32; ++i) {
            w.WriteInteger(70000 + i); // gain word: only 16 bits are kept
            w.WriteString("Датчик" + std::to_string(i + 1));
            w.WriteInteger(i == 2 ? 4 + 256 : i % 2);
        }
        w.WriteBoolean(true);
        for (float scale : {-3.0F, 4.0F}) {
            if (o.oneValueScales) {
                w.WriteFloat(scale);
            } else {
                w.WriteBoolean(true);
                w.WriteSingle(scale);
                w.WriteSingle(scale * 2);
            }
        }
        w.WriteString("комментарий");
        w.WriteBoolean(false);
        w.WriteInteger(o.sizeBuf);
        if (o.withShifts) {
            w.WriteSingle(12.5F);
            w.WriteSingle(-7.0F);
        }
    }
    return stream.TakeBytes();
}

std::vector<std::uint8_t> rbdEndingAfterAutoScale()
{
    // The same stream, cut right after Pair1.AutoScaleY.
    auto full = rbd({});
    // scales (2 x (1 + 5 + 5)) + comment (2 + 11) + axis (1) + size (2) + shifts (2 x 5)
    full.resize(full.size() - (22 + 13 + 1 + 2 + 10));
    return full;
}

void load(TCfgRecBlade &cfg, const std::vector<std::uint8_t> &bytes)
{
    TMemoryStream stream(bytes);
    cfg.LoadFromStream(stream);
}

} // namespace

TEST(CfgRecBlade, DefaultsAndRoundTrip)
{
    RecordingMessageSink sink;
    TCfgRecBlade rec(sink);
    EXPECT_EQ(rec.Signature, "@RECBLD");
    rec.InitDefault();
    EXPECT_EQ(rec.FileName, (ProgramFolder() / "TEST.BLD").string());
    EXPECT_EQ(rec.ChannelCount(), 16);
    EXPECT_EQ(rec.Channels[15], 16);
    EXPECT_EQ(rec.SensorName[31], "D32");
    EXPECT_EQ(rec.CompLevel[0], 9);
    EXPECT_EQ(rec.Pair2.divisorTacho, 1);
    EXPECT_EQ(rec.Trace, 6);

    rec.Comm = "стенд";
    rec.Pair1.ShiftTacho = 1.5F;
    rec.Pair2.MaxY = 9;
    rec.Pair2.AutoScaleY = true;
    const auto bytes = rec.SaveToBytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 7), "@RECBLD");
    TCfgRecBlade back(sink);
    load(back, bytes);
    EXPECT_TRUE(sink.messages().empty());
    EXPECT_EQ(back.FileName, rec.FileName);
    EXPECT_EQ(back.Channels, rec.Channels);
    EXPECT_EQ(back.OrderBlade, rec.OrderBlade);
    EXPECT_EQ(back.Impuls, rec.Impuls);
    EXPECT_EQ(back.SensorName, rec.SensorName);
    EXPECT_EQ(back.Comm, "стенд");
    EXPECT_EQ(back.Pair1.ShiftTacho, 1.5F);
    EXPECT_EQ(back.Pair2.MaxY, 9.0F);
    EXPECT_TRUE(back.Pair2.AutoScaleY);
    EXPECT_EQ(back.SizeBuf, 3);
    EXPECT_EQ(back.SaveToBytes(), bytes);
}

TEST(CfgRecBlade, ReadsTheCurrentLayout)
{
    RecordingMessageSink sink;
    TCfgRecBlade rec(sink);
    load(rec, rbd({.rootWord = 0x0203}));
    EXPECT_EQ(rec.FileName, "rec.bld");
    EXPECT_EQ(rec.ChannelCount(), 3);
    EXPECT_EQ(rec.Channels[2], 7);
    EXPECT_EQ(rec.Pair1.OrderChanTacho, 0);
    EXPECT_EQ(rec.Pair2.OrderChanTacho, 1);
    EXPECT_EQ(rec.Pair1.divisorTacho, 1);
    EXPECT_EQ(rec.Pair2.divisorTacho, 2);
    EXPECT_EQ(rec.Pair1.Root, 3);
    EXPECT_EQ(rec.Pair2.Root, 2);
    EXPECT_EQ(rec.CountBlade, 2);
    EXPECT_EQ(rec.OrderBlade[1], 1);
    EXPECT_EQ(rec.Impuls[1], 2);
    EXPECT_EQ(rec.Pair1.Diametr, 640.0);
    EXPECT_EQ(rec.Pair2.Diametr, 820.0);
    EXPECT_EQ(rec.CompLevel[1], static_cast<std::uint16_t>(70001));
    EXPECT_EQ(rec.TypeSensor[2], 4);
    EXPECT_EQ(rec.SensorName[31], "Датчик32");
    EXPECT_EQ(rec.Pair2.MinY, -6.0F);
    EXPECT_EQ(rec.Pair1.MaxY, 4.0F);
    EXPECT_EQ(rec.Comm, "комментарий");
    EXPECT_FALSE(rec.AxisX);
    EXPECT_EQ(rec.Pair1.ShiftTacho, 12.5F);
    EXPECT_EQ(rec.Pair2.ShiftTacho, -7.0F);
}

TEST(CfgRecBlade, ReadsTheOlderLayouts)
{
    RecordingMessageSink sink;
    TCfgRecBlade rec(sink);
    rec.Pair2.Diametr = 111;
    rec.Pair2.AutoScaleY = false;
    rec.Pair2.MinY = 55;
    rec.Pair2.ShiftTacho = 3;
    load(rec, rbd({.oneDiameter = true, .oneValueScales = true, .withShifts = false, .sizeBuf = 9}));
    EXPECT_EQ(rec.Pair1.Diametr, 640.0);
    EXPECT_EQ(rec.Pair2.Diametr, 111.0);
    EXPECT_FALSE(rec.Pair2.AutoScaleY);
    EXPECT_EQ(rec.Pair1.MinY, -3.0F);
    EXPECT_EQ(rec.Pair2.MinY, 55.0F);
    EXPECT_EQ(rec.Pair1.MaxY, 4.0F);
    EXPECT_EQ(rec.SizeBuf, 6);
    EXPECT_EQ(rec.Pair2.ShiftTacho, 3.0F);

    TCfgRecBlade cut(sink);
    cut.Comm = "прежний";
    cut.SizeBuf = 2;
    cut.Pair1.MinY = 8;
    load(cut, rbdEndingAfterAutoScale());
    EXPECT_TRUE(cut.Pair1.AutoScaleY);
    EXPECT_EQ(cut.SensorName[0], "Датчик1");
    EXPECT_EQ(cut.Comm, "прежний");
    EXPECT_EQ(cut.SizeBuf, 2);
    EXPECT_EQ(cut.Pair1.MinY, 8.0F);
    EXPECT_TRUE(sink.messages().empty());
}

TEST(CfgRecBlade, WronglyTaggedCountsStopReadingWithTheirMessage)
{
    const char *texts[] = {"ввод тахоканала",        "ввод делителя тахо",        "ввод корневых датчиков",
                           "ввод перифер. датчиков", "ввод пропускаемых лопаток", "ввод числа лопаток",
                           "ввод числа импульсов",   "ввод номера лопатки",       "ввод номера лопатки",
                           "ввод номера импульса",   "ввод номера импульса"};
    for (int bad = 0; bad < 11; ++bad) {
        SCOPED_TRACE(bad);
        RecordingMessageSink sink;
        TCfgRecBlade rec(sink);
        rec.Pair1.Diametr = 5;
        rec.Comm = "прежний";
        load(rec, rbd({.badItem = bad}));
        ASSERT_EQ(sink.messages().size(), 1u);
        EXPECT_EQ(sink.messages()[0].caption, "ошибка ввода конфигурации");
        EXPECT_EQ(sink.messages()[0].text, texts[bad]);
        EXPECT_EQ(rec.Channels[0], 5) << "values before the bad one are kept";
        EXPECT_EQ(rec.Pair1.Diametr, 5.0) << "reading stopped";
        EXPECT_EQ(rec.Comm, "прежний");
    }
}

TEST(CfgRecBlade, ImportOfTheDefaults)
{
    NullMessageSink sink;
    TCfgRecBlade rec(sink);
    rec.InitDefault();
    TCfgDfm cfg;
    EXPECT_TRUE(rec.ConvertTo(cfg));
    ASSERT_EQ(cfg.CountStage, 2);
    EXPECT_EQ(cfg.Stages[0].NameStage, "1-st_stage");
    EXPECT_EQ(cfg.Stages[1].NameStage, "2-nd_stage");
    EXPECT_EQ(cfg.Stages[0].Pairs[0].NamePair, "1-st_stage pair");
    EXPECT_EQ(cfg.Stages[1].Pairs[0].NamePair, "2-st_stage pair");
    ASSERT_EQ(cfg.CountSensors, 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(cfg.Sensors[i].NameSensor, "D" + std::to_string(i + 1));
        EXPECT_EQ(cfg.Sensors[i].Chan, i);
        EXPECT_EQ(cfg.Sensors[i].TypeSensor, TTypeSensor::srRoot);
    }
    for (const TStage &st : {cfg.Stages[0], cfg.Stages[1]}) {
        EXPECT_EQ(st.CountPairs, 1);
        EXPECT_EQ(st.CountBlade, 0);
        EXPECT_EQ(st.Diametr, 1000.0);
        EXPECT_EQ(st.TachoComb.sensNumber, 0);
        EXPECT_EQ(st.TachoComb.divisor, 0);
        EXPECT_EQ(st.Pairs[0].Root, 1);
        EXPECT_EQ(st.Pairs[0].Peak, 2);
        EXPECT_FALSE(st.Pairs[0].Checked);
    }
    EXPECT_EQ(cfg.Stages[0].TypeStage, TTypeStage::tsFree);

    // The imported configuration saves and reloads like any other.
    TCfgDfm back;
    TMemoryStream stream(cfg.SaveToBytes());
    back.LoadFromStream(stream);
    EXPECT_EQ(back.Stages[1].Pairs[0].NamePair, "2-st_stage pair");
}

TEST(CfgRecBlade, ImportStopsAtTheFirstValueItCannotConvert)
{
    struct Case {
        const char *what;
        std::function<void(TCfgRecBlade &)> spoil;
        const char *message;
    };
    const Case cases[] = {
        {"33 channels", [](TCfgRecBlade &r) { r.CountChannel = 33; }, "число каналов 33 больше 32"},
        {"channel 0", [](TCfgRecBlade &r) { r.Channels[4] = 0; }, "канал в позиции 5 имеет номер 0"},
        {"tacho index", [](TCfgRecBlade &r) { r.Pair2.OrderChanTacho = 32; }, "индекс тахоканала 32"},
        {"tacho number", [](TCfgRecBlade &r) { r.Pair1.OrderChanTacho = 20; }, "имеет номер 0"},
        {"divisor", [](TCfgRecBlade &r) { r.Pair2.divisorTacho = 0; }, "делитель тахо равен 0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        NullMessageSink sink;
        TCfgRecBlade rec(sink);
        rec.InitDefault();
        c.spoil(rec);
        TCfgDfm cfg;
        try {
            rec.ConvertTo(cfg);
            ADD_FAILURE() << "no error";
        } catch (const ValueError &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
        EXPECT_EQ(cfg.CountStage, 2) << "the target is left partly filled";
    }
}

TEST(CfgRecBlade, HostileFilesGiveReadErrors)
{
    vibrolan::test::TempDir dir;
    NullMessageSink sink;
    auto full = rbd({});
    for (std::size_t len : {std::size_t{0}, std::size_t{5}, std::size_t{20}, full.size() / 2}) {
        std::vector<std::uint8_t> part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(len));
        TMemoryStream s(part);
        TCfgRecBlade rec(sink);
        EXPECT_THROW(rec.LoadFromStream(s), TCfgReadError) << len;
    }
    auto foreign = full;
    foreign[0] = '#';
    const auto path = dir / "foreign.rbd";
    {
        std::FILE *f = std::fopen(path.c_str(), "wb");
        std::fwrite(foreign.data(), 1, foreign.size(), f);
        std::fclose(f);
    }
    TCfgRecBlade rec(sink);
    try {
        rec.LoadFromFile(path);
        ADD_FAILURE();
    } catch (const FormatError &e) {
        EXPECT_NE(std::string(e.what()).find("Invalid image"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("foreign.rbd"), std::string::npos);
    }
}

TEST(CfgRecBlade, SurplusChannelsAndNumberingAreReadInStep)
{
    TMemoryStream stream;
    {
        TCfgWriter w(stream, 64);
        w.WriteSignature("@RECBLD");
        w.WriteString("");
        w.WriteInteger(40);
        for (int c = 1; c <= 40; ++c)
            w.WriteInteger(c);
        for (int i = 0; i < 5; ++i)
            w.WriteInteger(0x0101);
        w.WriteInteger(120); // blades beyond the 100 places
        w.WriteInteger(0);
        for (int i = 0; i < 120; ++i)
            w.WriteInteger(i + 1);
        w.WriteFloat(500.0);
        for (int i = 0; i < 32; ++i) {
            w.WriteInteger(1);
            w.WriteString("c" + std::to_string(i));
            w.WriteInteger(0);
        }
        w.WriteBoolean(true);
    }
    NullMessageSink sink;
    TCfgRecBlade rec(sink);
    load(rec, stream.TakeBytes());
    EXPECT_EQ(rec.ChannelCount(), 40);
    EXPECT_EQ(rec.Channels[31], 32);
    EXPECT_EQ(rec.CountBlade, 100);
    EXPECT_EQ(rec.OrderBlade[99], 100);
    EXPECT_EQ(rec.Pair1.Diametr, 500.0);
    EXPECT_EQ(rec.SensorName[31], "c31");
    TCfgDfm cfg;
    EXPECT_THROW(rec.ConvertTo(cfg), ValueError) << "40 channels cannot be converted";
}
