#include "config/cfg_dfm.hpp"
#include "config/program_folder.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "cfg_compare.hpp"
#include "stream_bytes.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <unistd.h>

using namespace vibrolan;
using vibrolan::test::StreamBytes;
using vibrolan::test::TempDir;

namespace {

std::vector<std::uint8_t> save(TCfgDfm &cfg) { return cfg.SaveToBytes(); }

void load(TCfgDfm &cfg, const std::vector<std::uint8_t> &bytes)
{
    TMemoryStream stream(bytes);
    cfg.LoadFromStream(stream);
}

TCfgDfm defaults()
{
    TCfgDfm cfg;
    cfg.InitDefault();
    return cfg;
}

// Position of the first occurrence of `needle` in `bytes`, or npos.
std::size_t find(const std::vector<std::uint8_t> &bytes, const std::vector<std::uint8_t> &needle)
{
    auto it = std::search(bytes.begin(), bytes.end(), needle.begin(), needle.end());
    return it == bytes.end() ? std::string::npos : static_cast<std::size_t>(it - bytes.begin());
}

} // namespace

TEST(CfgDfm, ConstructionIsEmptyAndDefaultsAreTheOneShroudedStage)
{
    TCfgDfm cfg;
    EXPECT_EQ(cfg.Signature, "@DFM");
    EXPECT_EQ(cfg.CountStage, 0);
    EXPECT_EQ(cfg.CountSensors, 0);
    EXPECT_EQ(cfg.Stages.size(), kMaxStages);
    EXPECT_EQ(cfg.Stages[0].Pairs.size(), kMaxPairs);
    EXPECT_EQ(cfg.HiTaho, 0.0);

    cfg.InitDefault();
    EXPECT_EQ(cfg.Mode, TMode::mdDynamic);
    ASSERT_EQ(cfg.CountStage, 1);
    const TStage &st = cfg.Stages[0];
    EXPECT_EQ(st.NameStage, "St№1");
    EXPECT_EQ(st.TypeStage, TTypeStage::tsBandag);
    EXPECT_EQ(st.Diametr, 1000.0);
    EXPECT_EQ(st.CountBlade, 20);
    EXPECT_EQ(st.CountPairs, 1);
    EXPECT_EQ(st.FResonance.Bottom, 1800.0);
    EXPECT_EQ(st.FResonance.DeltaTop, 0.01);
    EXPECT_EQ(st.KfSigma, 0.0F);
    EXPECT_EQ(st.TachoComb.sensNumber, 2);
    EXPECT_EQ(st.TachoComb.divisor, 0);
    ASSERT_EQ(cfg.CountSensors, 3);
    const char *names[] = {"K", "P", "O"};
    const int chans[] = {1, 2, 0};
    const TTypeSensor kinds[] = {TTypeSensor::srRoot, TTypeSensor::srPeak, TTypeSensor::srTaho};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cfg.Sensors[i].NameSensor, names[i]);
        EXPECT_EQ(cfg.Sensors[i].Chan, chans[i]);
        EXPECT_EQ(cfg.Sensors[i].TypeSensor, kinds[i]);
    }
    const TPair &p = st.Pairs[0];
    EXPECT_EQ(p.NamePair, "Pair№1");
    EXPECT_EQ(p.Root, 0);
    EXPECT_EQ(p.Peak, 1);
    EXPECT_EQ(p.Base, 50.0F);
    EXPECT_TRUE(p.Checked);
    for (int k = 0; k < 20; ++k)
        EXPECT_EQ(p.NumberBlade[k], k);
    EXPECT_EQ(p.Impuls[5], 0) << "numbering is not inverted until loaded or edited";
    EXPECT_EQ(cfg.LoTaho, 1.0);
    EXPECT_EQ(cfg.HiTaho, 20.0);
    EXPECT_EQ(cfg.LoAmpl, 1.0);
    EXPECT_EQ(cfg.HiAmpl, 5.0);
    EXPECT_EQ(cfg.NmPopravk, (ProgramFolder() / "popravk.dat").string());
    EXPECT_EQ(cfg.NmSnom, (ProgramFolder() / "snom.dat").string());
    EXPECT_EQ(cfg.NmXnom, (ProgramFolder() / "xnom.dat").string());
    EXPECT_EQ(cfg.NmSnomFree, (ProgramFolder() / "snomfree.dat").string());
    EXPECT_FALSE(cfg.RunTahoByBlade);
}

TEST(CfgDfm, OrdinalTextsAreTheListItems)
{
    EXPECT_EQ(TypeStageText(TTypeStage::tsFree), "Свободная    ");
    EXPECT_EQ(TypeStageText(TTypeStage::tsLink), "Связанная      ");
    EXPECT_EQ(TypeStageReportSuffix(TTypeStage::tsBandag), " (банд.лопатки)");
    EXPECT_EQ(TypeSensorText(TTypeSensor::srRoot_cap), "Корневой емкостный");
    EXPECT_EQ(TypeSensorText(TTypeSensor::srIRIG_B), "IRIG-B");
    EXPECT_EQ(ModeText(TMode::mdStatic), "Стационарный ");
    EXPECT_EQ(TypeSensorText(static_cast<TTypeSensor>(9)), "");
    EXPECT_EQ(TypeStageText(static_cast<TTypeStage>(200)), "");
}

TEST(CfgDfm, DefaultsSurviveSaveAndLoad)
{
    TCfgDfm original = defaults();
    original.NmSource = "/data/run 1.bld";
    original.UseGates = true;
    const auto bytes = save(original);
    TCfgDfm loaded;
    load(loaded, bytes);
    vibrolan::test::expectSamePersisted(original, loaded);
    const TPair &p = loaded.Stages[0].Pairs[0];
    for (int b = 0; b < 20; ++b)
        EXPECT_EQ(p.Impuls[b], b) << "Impuls is rebuilt as the inverse of the numbering";
    EXPECT_EQ(p.Calibre, 1.0F);
    EXPECT_EQ(p.CalibreOld, 1.0F);
    EXPECT_EQ(save(loaded), bytes) << "saving what was loaded gives the same file";
}

TEST(CfgDfm, SaveToFileWritesTheExactLayout)
{
    TCfgDfm cfg;
    cfg.FileName = "a.bld";
    cfg.CountSensors = 2;
    cfg.Sensors[0] = {"K", 0, 1, TTypeSensor::srRoot};
    cfg.Sensors[1] = {"O", 2, 0, TTypeSensor::srTaho};
    cfg.CountStage = 1;
    TStage &st = cfg.Stages[0];
    st.NameStage = "S1";
    st.TypeStage = TTypeStage::tsFree;
    st.Diametr = 1000;
    st.FResonance = {1800, 0.01};
    st.CountBlade = 20;
    st.CountCalibrBlade = 1;
    st.CountPairs = 1;
    st.OrderBlade = true;
    st.KfSigma = 1;
    st.CountHarm = 1;
    st.OrderHarm[0] = 200;
    st.f1 = 0.5F;
    st.BIn = 30;
    st.CalibrLength = 7;
    st.TachoComb = {0, 1};
    TPair &p = st.Pairs[0];
    p.NamePair = "P1";
    p.Peak = 1;
    p.Base = 50;
    p.fi = -1.5F;
    p.Checked = true;
    for (std::uint16_t k = 0; k < 20; ++k)
        p.NumberBlade[k] = k;
    cfg.Mode = TMode::mdStatic;
    cfg.dN = 10;
    cfg.LoTaho = 1;
    cfg.HiTaho = 20;
    cfg.LoAmpl = 1;
    cfg.HiAmpl = 5;
    cfg.Method = 1;
    cfg.thNumPoint = 0x8005;
    cfg.mgNumPoint = 3;
    cfg.f2 = 1;
    cfg.NmSource = "a.bld";
    cfg.NmGates = "г.gts";
    cfg.UseGates = true;
    // Not persisted: must not show up in the file.
    cfg.TypeFile = 1;
    cfg.b1 = 9;
    cfg.Stages[0].Q = 3;

    StreamBytes e;
    e.text("@DFM").str("a.bld");
    e.int8(2).str("K").int8(1).int8(0).str("O").int16(0x0200).int8(4);
    e.int8(1).str("S1").int8(0).singleBits(0x447A0000).singleBits(0x44E10000);
    e.int16(20 + 256); // blades + 256 * calibration blades
    e.int8(1).boolean(true).singleBits(0x3F800000);
    e.int16(10100).int16(200); // 1 harmonic * 10000 + 0.01 * 10000, then its order
    e.singleBits(0x3F000000).singleBits(0).singleBits(0).singleBits(0x41F00000).singleBits(0x40E00000);
    e.str("P1").int8(0).int8(1).int8(0).singleBits(0x42480000).singleBits(0);
    for (int k = 0; k < 20; ++k)
        e.int8(k);
    e.boolean(true).singleBits(0xBFC00000);
    e.int16(0x0100); // tacho: divisor 0, sensor 1
    e.int8(1).str("a.bld");
    e.extended(0xA000000000000000ULL, 0x4002);                                         // dN 10
    e.extended(0x8000000000000000ULL, 0x3FFF).extended(0xA000000000000000ULL, 0x4003); // 1, 20
    e.extended(0x8000000000000000ULL, 0x3FFF).extended(0xA000000000000000ULL, 0x4001); // 1, 5
    e.int8(1).extended(0, 0).extended(0, 0);
    e.int32(0x8005).int8(3);
    e.extended(0x8000000000000000ULL, 0x3FFF); // f2
    for (int i = 0; i < 10; ++i)
        e.extended(0, 0);
    e.str("a.bld").str("").str("").str("").str("\xE3.gts").boolean(true);

    TempDir dir;
    RecordingMessageSink sink;
    cfg.SaveToFile(dir / "small.lfm", sink);
    EXPECT_TRUE(sink.messages().empty());
    EXPECT_EQ(readWholeFile(dir / "small.lfm"), e.bytes());

    TCfgDfm back;
    back.LoadFromFile(dir / "small.lfm");
    vibrolan::test::expectSamePersisted(cfg, back);
    EXPECT_EQ(back.FileLength, static_cast<std::int64_t>(e.size()));
}

TEST(CfgDfm, HarmonicCountAndBandWidthShareOneInteger)
{
    struct Case {
        int harms;
        double deltaTop;
        int expectHarms;
        double expectDelta;
    };
    const Case cases[] = {
        {3, 0.01, 3, 0.01},
        {0, 0.25, 0, 0.25},
        {32, 0.9999, 32, 0.9999},
        // Outside 0 .. 1 the width is carried modulo the harmonic field.
        {3, 1.5, 4, 0.5},
        {3, -0.5, 2, 0.5},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.harms) + " / " + std::to_string(c.deltaTop));
        TCfgDfm cfg = defaults();
        TStage &st = cfg.Stages[0];
        st.CountHarm = c.harms;
        st.FResonance.DeltaTop = c.deltaTop;
        for (int i = 0; i < c.harms; ++i)
            st.OrderHarm[i] = static_cast<std::uint16_t>(i + 1);
        TCfgDfm back;
        load(back, save(cfg));
        EXPECT_EQ(back.Stages[0].CountHarm, c.expectHarms);
        EXPECT_DOUBLE_EQ(back.Stages[0].FResonance.DeltaTop, c.expectDelta);
    }

    TCfgDfm cfg = defaults();
    cfg.Stages[0].CountHarm = 3;
    cfg.Stages[0].OrderHarm = {5, 7, 300};
    const auto bytes = save(cfg);
    // 30100 as vaInt16, followed by the three orders.
    EXPECT_NE(find(bytes, {3, 0x94, 0x75, 2, 5, 2, 7, 3, 0x2C, 0x01}), std::string::npos);
    TCfgDfm back;
    load(back, bytes);
    EXPECT_EQ(back.Stages[0].OrderHarm[2], 255) << "orders are limited to 255 when read";
}

TEST(CfgDfm, BandBottomIsBroughtIntoSingleRange)
{
    const double tiny = std::numeric_limits<float>::denorm_min();
    const double cases[][2] = {{0.0, tiny},
                               {-5.0, tiny},
                               {1e-50, tiny},
                               {1e39, std::numeric_limits<float>::max()},
                               {1800.0, 1800.0}};
    for (const auto &c : cases) {
        TCfgDfm cfg = defaults();
        cfg.Stages[0].FResonance.Bottom = c[0];
        TCfgDfm back;
        load(back, save(cfg));
        EXPECT_EQ(back.Stages[0].FResonance.Bottom, c[1]) << c[0];
    }
    EXPECT_NEAR(tiny, 1.401298e-45, 1e-51);
}

TEST(CfgDfm, ReaderNormalisesNumberingIndicesAndTacho)
{
    TCfgDfm cfg = defaults();
    TPair &p = cfg.Stages[0].Pairs[0];
    p.Root = 50; // mod 48
    p.Peak = 47;
    p.SkipBlade = 25;      // mod 24
    p.NumberBlade[0] = 22; // mod 20
    p.NumberBlade[1] = 40;
    cfg.Stages[0].CountCalibrBlade = 3;
    cfg.Stages[0].TachoComb = {7, 3}; // sensor 3 of 3 does not exist
    TCfgDfm back;
    load(back, save(cfg));
    const TPair &q = back.Stages[0].Pairs[0];
    EXPECT_EQ(q.Root, 2);
    EXPECT_EQ(q.Peak, 47);
    EXPECT_EQ(q.SkipBlade, 1);
    EXPECT_EQ(q.NumberBlade[0], 2);
    EXPECT_EQ(q.NumberBlade[1], 0);
    EXPECT_EQ(q.Impuls[2], 2) << "the later position holding a blade wins";
    EXPECT_EQ(q.Impuls[0], 1);
    EXPECT_EQ(back.Stages[0].CountBlade, 20);
    EXPECT_EQ(back.Stages[0].CountCalibrBlade, 3);
    EXPECT_EQ(back.Stages[0].TachoComb.AsWord(), 256);

    cfg.Stages[0].TachoComb = {254, 2}; // "sign." on sensor 2
    load(back, save(cfg));
    EXPECT_EQ(back.Stages[0].TachoComb.divisor, 254);
    EXPECT_EQ(back.Stages[0].TachoComb.sensNumber, 2);
}

TEST(CfgDfm, NegativeStoredValuesNeverIndexPastTheArrays)
{
    // A stage of 3 blades whose numbering and sensor indices are negative.
    StreamBytes s;
    s.text("@DFM").str("").int8(0);
    s.int8(-1).str("S").int8(1).single(1).single(1).int8(-3); // |-1| stages, |-3| blades
    s.int8(-1).boolean(false).single(0).int16(-10100);        // 1 pair, 1 harmonic, 0.01
    s.int8(-9);                                               // order |−9|
    for (int i = 0; i < 5; ++i)
        s.single(0);
    s.str("P").int8(-1).int8(-50).int8(-1).single(50).single(0);
    s.int8(-1).int8(-4).int32(-2147483647 - 1).boolean(true).single(0);
    s.int16(-256);
    const auto bytes = s.bytes();
    TCfgDfm cfg;
    EXPECT_THROW(load(cfg, bytes), TCfgReadError) << "the file ends before Mode";
    const TStage &st = cfg.Stages[0];
    EXPECT_EQ(cfg.CountStage, 1);
    EXPECT_EQ(st.CountBlade, 3);
    EXPECT_EQ(st.CountHarm, 1);
    EXPECT_DOUBLE_EQ(st.FResonance.DeltaTop, 0.01);
    EXPECT_EQ(st.OrderHarm[0], 9);
    const TPair &p = st.Pairs[0];
    EXPECT_EQ(p.Root, 47);
    EXPECT_EQ(p.Peak, 46);
    EXPECT_EQ(p.SkipBlade, 23);
    EXPECT_EQ(p.NumberBlade[0], 2);
    EXPECT_EQ(p.NumberBlade[1], 2);
    EXPECT_EQ(p.NumberBlade[2], 1);
    EXPECT_EQ(st.TachoComb.AsWord(), 256) << "no sensors: the tacho falls back to sensor 1";
}

TEST(CfgDfm, CountsAboveCapacityAreClamped)
{
    TCfgDfm cfg = defaults();
    cfg.CountStage = 5;
    for (int s = 0; s < 5; ++s) {
        cfg.Stages[s] = cfg.Stages[0];
        cfg.Stages[s].NameStage = "S" + std::to_string(s);
    }
    auto bytes = save(cfg);
    // The stage count follows the three sensors; store 7 instead of 5.
    const std::size_t at = find(bytes, {2, 5, 6, 2, 'S', '0'});
    ASSERT_NE(at, std::string::npos);
    bytes[at + 1] = 7;
    TCfgDfm back;
    try {
        load(back, bytes); // the values after the fifth stage are then read out of step
    } catch (const TCfgReadError &) {
    }
    EXPECT_EQ(back.CountStage, 5);
    EXPECT_EQ(back.Stages[4].NameStage, "S4");

    cfg = defaults();
    cfg.Stages[0].CountPairs = 16;
    for (int p = 0; p < 16; ++p) {
        cfg.Stages[0].Pairs[p] = cfg.Stages[0].Pairs[0];
        cfg.Stages[0].Pairs[p].NamePair = "P" + std::to_string(p);
    }
    bytes = save(cfg);
    const std::size_t pairsAt = find(bytes, {2, 16, 8});
    ASSERT_NE(pairsAt, std::string::npos);
    bytes[pairsAt + 1] = 20;
    try {
        load(back, bytes);
    } catch (const TCfgReadError &) {
    }
    EXPECT_EQ(back.Stages[0].CountPairs, 16);
    EXPECT_EQ(back.Stages[0].Pairs[15].NamePair, "P15");
}

TEST(CfgDfm, SensorsBeyondNinetySixAreDroppedAndTheRestStaysInStep)
{
    StreamBytes s;
    s.text("@DFM").str("first").int8(100);
    for (int i = 0; i < 100; ++i)
        s.str("s" + std::to_string(i)).int8(i % 64).int8(i % 9);
    s.int8(0); // no stages
    s.int8(1).str("second");
    const auto bytes = s.bytes();
    TCfgDfm cfg;
    EXPECT_THROW(load(cfg, bytes), TCfgReadError); // ends before dN
    EXPECT_EQ(cfg.CountSensors, 96);
    EXPECT_EQ(cfg.Sensors[95].NameSensor, "s95");
    EXPECT_EQ(cfg.Mode, TMode::mdStatic);
    EXPECT_EQ(cfg.FileName, "second");
}

TEST(CfgDfm, SensorWordKeepsChannelAndFifteenBitsOfFirstBlade)
{
    TCfgDfm cfg = defaults();
    cfg.Sensors[0].firstbld = 200; // its top bit does not survive
    cfg.Sensors[0].Chan = 255;
    cfg.Sensors[1].firstbld = 19;
    TCfgDfm back;
    load(back, save(cfg));
    EXPECT_EQ(back.Sensors[0].Chan, 255);
    EXPECT_EQ(back.Sensors[0].firstbld, 72);
    EXPECT_EQ(back.Sensors[1].firstbld, 19);
}

TEST(CfgDfm, FileEndingAfterTheConstantsKeepsTheNamesAndGateSwitch)
{
    TCfgDfm cfg = defaults();
    cfg.h5 = 2.5F;
    cfg.NmSource = "src";
    cfg.NmTarget = "tg";
    cfg.NmMessage = "m";
    cfg.NmHolder = "h";
    cfg.NmGates = "g";
    cfg.UseGates = true;
    auto bytes = save(cfg);
    const std::size_t tail = (2 + 3) + (2 + 2) + (2 + 1) * 3 + 1;
    bytes.resize(bytes.size() - tail);

    TCfgDfm back;
    back.NmSource = "old source";
    back.NmGates = "old gates";
    back.UseGates = false;
    load(back, bytes);
    EXPECT_EQ(back.h5, 2.5F);
    EXPECT_EQ(back.NmSource, "old source");
    EXPECT_EQ(back.NmGates, "old gates");
    EXPECT_FALSE(back.UseGates);

    // Ending after the third name: the first three load, the rest stay.
    bytes = save(cfg);
    bytes.resize(bytes.size() - (2 + 1) * 2 - 1);
    load(back, bytes);
    EXPECT_EQ(back.NmSource, "src");
    EXPECT_EQ(back.NmMessage, "m");
    EXPECT_EQ(back.NmGates, "old gates");
}

TEST(CfgDfm, LoadErrorsNameTheFileAndKeepWhatWasRead)
{
    TempDir dir;
    TCfgDfm cfg = defaults();
    cfg.FileName = "recording.bld";
    const auto bytes = save(cfg);

    auto loadFile = [&](const std::vector<std::uint8_t> &content, TCfgDfm &into) -> std::string {
        const auto path = dir / "case.lfm";
        writeFileAtomically(path, content);
        try {
            into.LoadFromFile(path);
        } catch (const FormatError &e) {
            EXPECT_EQ(e.file(), path);
            return e.what();
        }
        return "loaded";
    };

    TCfgDfm target;
    EXPECT_NE(loadFile({}, target).find("ошчтфайла"), std::string::npos);
    target.FileName = "keep";
    auto foreign = bytes;
    foreign[1] = 'X';
    EXPECT_NE(loadFile(foreign, target).find("Invalid image"), std::string::npos);
    EXPECT_EQ(target.FileName, "keep") << "nothing is stored after a wrong signature";

    // Every truncation before the optional tail is a read error, never a crash.
    const std::size_t tailStart = bytes.size() - 11; // five empty names and the gate switch
    for (std::size_t len = 1; len < tailStart; len += 7) {
        TCfgDfm partial;
        EXPECT_NE(loadFile({bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len)}, partial)
                      .find("ошчтфайла"),
                  std::string::npos)
            << len;
    }
    TCfgDfm partial;
    loadFile({bytes.begin(), bytes.begin() + 40}, partial);
    EXPECT_EQ(partial.FileName, "recording.bld") << "fields read before the end keep their new values";

    EXPECT_THROW(target.LoadFromFile(dir / "missing.lfm"), FileError);
}

TEST(CfgDfm, SaveRulesForReadOnlyAndExtensionlessNames)
{
    TempDir dir;
    TCfgDfm cfg = defaults();
    RecordingMessageSink sink;

    cfg.SaveToFile(dir / "noext", sink);
    EXPECT_FALSE(std::filesystem::exists(dir / "noext"));
    EXPECT_TRUE(sink.messages().empty());

    const auto locked = dir / "locked.lfm";
    writeFileAtomically(locked, std::string_view("old contents"));
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    cfg.SaveToFile(locked, sink);
    EXPECT_EQ(readWholeFile(locked),
              std::vector<std::uint8_t>({'o', 'l', 'd', ' ', 'c', 'o', 'n', 't', 'e', 'n', 't', 's'}));
    ASSERT_EQ(sink.messages().size(), 1u);
    EXPECT_EQ(sink.messages()[0].caption, locked.string());
    EXPECT_EQ(sink.messages()[0].text, "read-only");

    // A save that cannot complete leaves the existing file as it was.
    const auto sub = dir / "sub";
    std::filesystem::create_directory(sub);
    writeFileAtomically(sub / "keep.lfm", std::string_view("previous"));
    std::filesystem::permissions(sub,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access(sub.c_str(), W_OK) != 0) { // root may write anyway
        EXPECT_THROW(cfg.SaveToFile(sub / "keep.lfm", sink), FileError);
        EXPECT_EQ(readWholeFile(sub / "keep.lfm").size(), 8u);
    }
    std::filesystem::permissions(sub, std::filesystem::perms::owner_all);

    cfg.SaveToFile(dir / "fresh.lfm", sink);
    TCfgDfm back;
    back.LoadFromFile(dir / "fresh.lfm");
    vibrolan::test::expectSamePersisted(cfg, back);
}

TEST(CfgDfm, FreeDataReleasesResultSeries)
{
    TCfgDfm cfg = defaults();
    TPair &p = cfg.Stages[0].Pairs[0];
    p.Ampl[3] = TArrSingle{1, 2, 3};
    p.AmplOffs[3] = 4;
    EXPECT_EQ(p.AmplSeries(3).size(), 2u);
    EXPECT_EQ(p.AmplSeries(3)[0], 2.0F);
    p.Freq.assign(1024, 0);
    p.CmprssResnceCurve[0].assign(1024, 0);
    cfg.Stages[0].Xnom.emplace();
    cfg.FreeData();
    EXPECT_TRUE(p.Ampl[3].empty());
    EXPECT_EQ(p.AmplOffs[3], 0);
    EXPECT_TRUE(p.Freq.empty());
    EXPECT_TRUE(p.CmprssResnceCurve[0].empty());
    EXPECT_FALSE(cfg.Stages[0].Xnom.has_value());
    EXPECT_EQ(p.NamePair, "Pair№1") << "configuration fields stay";
}
