#include "base/errors.hpp"
#include "data_file_test_support.hpp"
#include "output/data_file.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>

namespace vibrolan {
namespace {

using test::bytesOf;
using test::fileBytes;
using test::fixedEnv;
using test::TempDir;
using test::writeBytes;

// A data set created the way the save commands create one.
std::filesystem::path newDataSet(TDataF &df, const TempDir &tmp, const std::string &name = "run")
{
    df.CreateNew(tmp / name, "Prod", "Выбег   ", ftZami, 2, 0, 45000.5f, "");
    return tmp / name / (name + ".zami");
}

TEST(ZamiKeyFile, IsWrittenByteExactInCp1251)
{
    TempDir tmp;
    TDataF df(fixedEnv(','));
    const auto key = newDataSet(df, tmp);
    std::vector<float> y{1, 2, 3}, x{0.5f, 1.5f, 2.5f};
    df.AddBuffer(3, "single", "single", bytesOf(y), bytesOf(x), "Tacho", "sens", "Hz", "sec", "UTS_Time", 100,
                 0, 1.0f / 60, 1, nullptr);
    T3D z{4, 1, 1, "int", "оборот"};
    std::vector<float> v(12, 0.25f);
    df.AddBuffer(12, "single", "uniform", bytesOf(v), {}, "ТУВРА", "sens", "мм", "лопатка", 0, 1, 0, 1, &z);

    // Assembled from the format: section "ZAMI" with Prod, Test, Info, Date,
    // Time; then per channel the keys in writing order, the channel number
    // under "ChanN" + Cyrillic o (CP1251 EE); decimals with the regional ",".
    const std::string expected = "[ZAMI]\r\n"
                                 "Prod=Prod\r\n"
                                 "Test=\xC2\xFB\xE1\xE5\xE3   \r\n"
                                 "Info=\r\n"
                                 "Date=15.03.2023\r\n"
                                 "Time=12:00:00\r\n"
                                 "\r\n"
                                 "[Tacho]\r\n"
                                 "Freq=100\r\n"
                                 "XUnits=sec\r\n"
                                 "YUnits=Hz\r\n"
                                 "CharTP=0x0\r\n"
                                 "UTS_Channel=UTS_Time\r\n"
                                 "k0=0,0166666675359011\r\n"
                                 "k1=1\r\n"
                                 "YFormat=single\r\n"
                                 "XFormat=single\r\n"
                                 "ChanID=4321\r\n"
                                 "ChanN\xEE=1\r\n"
                                 "\r\n"
                                 "[\xD2\xD3\xC2\xD0\xC0]\r\n"
                                 "Freq=0\r\n"
                                 "XUnits=\xEB\xEE\xEF\xE0\xF2\xEA\xE0\r\n"
                                 "YUnits=\xEC\xEC\r\n"
                                 "CharTP=0x1\r\n"
                                 "k0=0\r\n"
                                 "k1=1\r\n"
                                 "ZSize=4\r\n"
                                 "ZStep=1\r\n"
                                 "ZStart=1\r\n"
                                 "ZUnits=\xEE\xE1\xEE\xF0\xEE\xF2\r\n"
                                 "ZFormat=int\r\n"
                                 "YFormat=single\r\n"
                                 "ChanID=4321\r\n"
                                 "ChanN\xEE=2\r\n";
    EXPECT_EQ(fileBytes(key), expected);
    EXPECT_EQ(fileBytes(tmp / "run" / "Tacho.dat").size(), 12u);
    EXPECT_EQ(fileBytes(tmp / "run" / "Tacho.x").size(), 12u);
    EXPECT_EQ(fileBytes(tmp / "run" / "ТУВРА.dat").size(), 48u);
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "ТУВРА.x"));
    EXPECT_EQ(df.DaName, key);
    EXPECT_EQ(df.Nchan, 2);
}

template <class T> std::vector<T> samplesAs(const std::vector<int> &raw)
{
    return std::vector<T>(raw.begin(), raw.end());
}

std::vector<std::byte> encode(const std::vector<int> &raw, const std::string &format)
{
    auto copy = [](const auto &v) {
        auto b = bytesOf(v);
        return std::vector<std::byte>(b.begin(), b.end());
    };
    if (format == "byte")
        return copy(samplesAs<std::int8_t>(raw));
    if (format == "int")
        return copy(samplesAs<std::int16_t>(raw));
    if (format == "single")
        return copy(samplesAs<float>(raw));
    return copy(samplesAs<double>(raw));
}

TEST(ZamiDataSet, EveryStoredFormatRoundTripsWithScaling)
{
    const std::vector<int> raw{-3, 0, 7, 100};
    const std::vector<int> arg{1, -2, 30, 127};
    const char *formats[] = {"byte", "int", "single", "double"};
    const char *argFormats[] = {"uniform", "byte", "int", "single", "double"};
    for (const char *fy : formats) {
        for (const char *fx : argFormats) {
            SCOPED_TRACE(std::string(fy) + " / " + fx);
            TempDir tmp;
            {
                TDataF df(fixedEnv());
                newDataSet(df, tmp);
                const auto y = encode(raw, fy);
                const auto x = std::string(fx) == "uniform" ? std::vector<std::byte>{} : encode(arg, fx);
                df.AddBuffer(4, fy, fx, y, x, "ch", "char", "mm", "s", 250.5f, 3, 0.5f, 2.0f, nullptr);
            }
            TDataF in(fixedEnv());
            in.Create(tmp / "run" / "run.zami", 2);
            ASSERT_EQ(in.Nchan, 1);
            const TPassp &p = in.Passp[0];
            EXPECT_EQ(p.ParName, "ch");
            EXPECT_EQ(p.YUnits, "mm");
            EXPECT_EQ(p.XUnits, "s");
            EXPECT_FLOAT_EQ(p.Freq, 250.5f);
            EXPECT_FLOAT_EQ(p.K0, 0.5f);
            EXPECT_FLOAT_EQ(p.K1, 2.0f);
            EXPECT_EQ(p.FormatY, sampleFormatCode(fy));
            EXPECT_EQ(p.FormatX, sampleFormatCode(fx));
            EXPECT_EQ(p.Length, 4);
            EXPECT_EQ(p.HardId, 4321);
            EXPECT_EQ(in.ViewSer[0], -1);
            EXPECT_EQ(in.ProcessNum[0], -1);

            std::vector<double> yd, xd;
            ASSERT_EQ(in.Get2ForeignDblBuff(0, yd, xd), 4);
            std::vector<float> ys, xs;
            std::vector<double> xsd;
            ASSERT_EQ(in.Get2ForeignSnglBuff(0, ys, xs), 4);
            ASSERT_EQ(in.Get2ForeignSnglBuff(0, ys, xsd), 4);
            for (std::size_t i = 0; i < raw.size(); ++i) {
                EXPECT_DOUBLE_EQ(yd[i], raw[i] * 2.0 + 0.5);
                EXPECT_FLOAT_EQ(ys[i], static_cast<float>(raw[i] * 2.0 + 0.5));
            }
            EXPECT_DOUBLE_EQ(in.Mxmm[0], 200.5);
            EXPECT_DOUBLE_EQ(in.Mnmm[0], -5.5);
            if (std::string(fx) == "uniform") {
                EXPECT_TRUE(xd.empty());
                EXPECT_TRUE(xs.empty());
            } else {
                ASSERT_EQ(xd.size(), 4u);
                ASSERT_EQ(xs.size(), 4u);
                for (std::size_t i = 0; i < arg.size(); ++i) {
                    EXPECT_DOUBLE_EQ(xd[i], arg[i]); // arguments are not scaled
                    EXPECT_FLOAT_EQ(xs[i], static_cast<float>(arg[i]));
                    EXPECT_DOUBLE_EQ(xsd[i], arg[i]);
                }
            }
        }
    }
}

TEST(ZamiDataSet, SharedArgumentAxisIsReferencedByName)
{
    TempDir tmp;
    TDataF df(fixedEnv());
    const auto key = newDataSet(df, tmp);
    std::vector<float> y{1, 2}, x{10, 20};
    df.AddBuffer(2, "single", "double", bytesOf(std::vector<double>{1, 2}),
                 bytesOf(std::vector<double>{3, 4}), "Tacho", "", "", "", 1, 0, 0, 1, nullptr);
    df.AddBuffer(2, "single", "Tacho", bytesOf(y), {}, "blade1", "", "", "", 1, 0, 0, 1, nullptr);
    df.AddBuffer(2, "single", "nothere.dat", bytesOf(y), {}, "blade2", "", "", "", 1, 0, 0, 1, nullptr);
    EXPECT_EQ(df.Passp[1].FormatX, sfShared);
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "blade1.x"));

    TZAMIFile z(fixedEnv());
    z.Create(key, 0);
    EXPECT_EQ(z.Keys().readString("blade1", "XFile", ""), "Tacho.x");
    EXPECT_EQ(z.Keys().readString("blade1", "XFormat", ""), "double"); // copied from Tacho
    EXPECT_EQ(z.Keys().readString("blade2", "XFile", ""), "nothere.x");
    EXPECT_FALSE(z.Keys().hasKey("blade2", "XFormat"));
    EXPECT_EQ(z.SectNames, (std::vector<std::string>{"Tacho", "blade1", "blade2"}));
}

TEST(ZamiDataSet, OpeningSkipsOwnAudioAndDatalessSections)
{
    TempDir tmp;
    const auto dir = tmp / "set";
    std::filesystem::create_directories(dir / "sub");
    writeBytes(dir / "sub" / "set.zami", "[zami]\r\nProd=P1\r\nTest=T1   \r\nDate=01.02.2003\r\n"
                                         "[Audio]\r\nFreq=8000\r\n"
                                         "[chan1]\r\nYFormat=int\r\n"
                                         "[ghost]\r\nYFormat=int\r\n"
                                         "[../evil]\r\nYFormat=int\r\n"
                                         "[chan2]\r\nYFormat=byte\r\n");
    for (const char *name : {"zami.dat", "Audio.dat", "chan1.dat", "chan2.dat"})
        writeBytes(dir / "sub" / name, std::string(4, '\1'));
    writeBytes(dir / "evil.dat", std::string(4, '\1')); // reachable only through "../"

    TDataF df(fixedEnv());
    df.Create(dir / "sub" / "set.zami", 2);
    EXPECT_EQ(df.FormType, ftZami);
    EXPECT_EQ(df.PRAXRec, "ZAMI");
    EXPECT_EQ(df.ProdName, "P1");
    EXPECT_EQ(df.TestName, "T1   ");
    EXPECT_EQ(df.Date, "01.02.2003");
    ASSERT_EQ(df.Nchan, 2);
    EXPECT_EQ(df.Passp[0].ParName, "chan1");
    EXPECT_EQ(df.Passp[0].Length, 2);
    EXPECT_EQ(df.Passp[1].ParName, "chan2");
    EXPECT_EQ(df.Passp[1].Length, 4);
}

TEST(ZamiDataSet, NameRuleMakesOnlyLowerAndUpperPrxAPraxFile)
{
    TempDir tmp;
    writeBytes(tmp / "x.Prx", "[c]\r\nYFormat=int\r\n");
    writeBytes(tmp / "c.dat", std::string(6, '\0'));
    TDataF df(fixedEnv());
    df.Create(tmp / "x.Prx", 2);
    EXPECT_EQ(df.FormType, ftZami);
    EXPECT_EQ(df.Nchan, 1);
}

TEST(ZamiDataSet, DefaultsAndLengthFromTheValueFile)
{
    TempDir tmp;
    writeBytes(tmp / "d.zami", "[odd]\r\n[noformat]\r\nXUnits=s\r\n");
    writeBytes(tmp / "odd.dat", std::string(1001, '\0'));
    std::string le;
    for (std::int16_t v : {std::int16_t{-2}, std::int16_t{300}}) {
        le += static_cast<char>(v & 0xFF);
        le += static_cast<char>((v >> 8) & 0xFF);
    }
    writeBytes(tmp / "noformat.dat", le);
    writeBytes(tmp / "noformat.x", std::string(8, '\x7F')); // no XFormat: not used

    TDataF df(fixedEnv());
    df.Create(tmp / "d.zami", 2);
    ASSERT_EQ(df.Nchan, 2);
    const TPassp &odd = df.Passp[0];
    EXPECT_EQ(odd.Length, 500);
    EXPECT_EQ(odd.FormatY, sfInt);
    EXPECT_EQ(odd.FormatX, sfUniform);
    EXPECT_FLOAT_EQ(odd.Freq, 1000);
    EXPECT_FLOAT_EQ(odd.K0, 0);
    EXPECT_FLOAT_EQ(odd.K1, 1);
    EXPECT_EQ(odd.HardChan, 0);
    EXPECT_EQ(odd.HardId, 0);
    EXPECT_EQ(odd.CharName, "");
    std::vector<float> y;
    std::vector<double> x;
    EXPECT_EQ(df.Get2ForeignSnglBuff(0, y, x), 500);
    EXPECT_EQ(y.size(), 500u);

    EXPECT_EQ(df.Get2ForeignSnglBuff(1, y, x), 2);
    EXPECT_EQ(y, (std::vector<float>{-2, 300}));
    EXPECT_TRUE(x.empty());
}

TEST(ZamiDataSet, ChannelNumberIsWrittenCyrillicAndReadLatin)
{
    TempDir tmp;
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        std::vector<std::int16_t> y{1};
        for (int i = 1; i <= 5; ++i)
            df.AddBuffer(1, "int", "uniform", bytesOf(y), {}, "c" + std::to_string(i), "", "", "", 1, 0, 0, 1,
                         nullptr);
        EXPECT_EQ(df.Passp[4].HardChan, 5);
    }
    const auto key = tmp / "run" / "run.zami";
    EXPECT_NE(fileBytes(key).find("[c5]"), std::string::npos);
    EXPECT_NE(fileBytes(key).find("ChanN\xEE=5\r\n"), std::string::npos);

    TDataF df(fixedEnv());
    df.Create(key, 2);
    ASSERT_EQ(df.Nchan, 5);
    EXPECT_EQ(df.Passp[4].HardChan, 0); // the Cyrillic key is never read
    EXPECT_EQ(df.Passp[4].HardId, 4321);

    writeBytes(tmp / "l.zami", "[a]\r\nChanNo=7\r\nChanID=0x1F\r\nChar=Перемещение\r\n");
    writeBytes(tmp / "a.dat", "xx");
    df.Create(tmp / "l.zami", 2);
    EXPECT_EQ(df.Passp[0].HardChan, 7);
    EXPECT_EQ(df.Passp[0].HardId, 31);
}

TEST(ZamiDataSet, ChannelNumbersOutsideSixteenBitsAreFormatErrors)
{
    for (const char *line : {"ChanNo=65536", "ChanNo=-1", "ChanID=70000"}) {
        SCOPED_TRACE(line);
        TempDir tmp;
        writeBytes(tmp / "k.zami", std::string("[a]\r\n") + line + "\r\n");
        writeBytes(tmp / "a.dat", "xx");
        TDataF df(fixedEnv());
        EXPECT_THROW(df.Create(tmp / "k.zami", 2), FormatError);
        EXPECT_EQ(df.Nchan, 0);
    }
    TempDir tmp;
    writeBytes(tmp / "k.zami", "[a]\r\nChanNo=abc\r\nChanID=65535\r\n");
    writeBytes(tmp / "a.dat", "xx");
    TDataF df(fixedEnv());
    df.Create(tmp / "k.zami", 2);
    EXPECT_EQ(df.Passp[0].HardChan, 0);
    EXPECT_EQ(df.Passp[0].HardId, 65535);
}

TEST(ZamiDataSet, NumberKeysAndTheirSeparators)
{
    struct Case {
        const char *keys;
        float freq, k0, k1;
    };
    // The regional separator here is ",". k0/k1 take either separator; Freq and
    // Step too (a file from a "." machine keeps its frequency).
    const Case cases[] = {
        {"Freq=2,5\r\nk0=1.5\r\nk1=0,25", 2.5f, 1.5f, 0.25f},
        {"Freq=2.5\r\nk0=-1,5\r\nk1=3E2", 2.5f, -1.5f, 300.0f},
        {"Freq=abc\r\nk0=1,2,3\r\nk1=", 1000.0f, 0.0f, 1.0f},
        {"Freq=5\r\nStep=0,25", 4.0f, 0.0f, 1.0f},
        {"Step=0", 1.0f, 0.0f, 1.0f},
        {"Step=x", 1.0f, 0.0f, 1.0f},
        {"Freq=1E39\r\nk1=-1E39", 1000.0f, 0.0f, 1.0f},
        {"Freq= 12 \r\nk0=inf\r\nk1=nan", 12.0f, 0.0f, 1.0f},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.keys);
        TempDir tmp;
        writeBytes(tmp / "k.zami", std::string("[a]\r\n") + c.keys + "\r\n");
        writeBytes(tmp / "a.dat", "xx");
        TDataF df(fixedEnv(','));
        df.Create(tmp / "k.zami", 2);
        EXPECT_FLOAT_EQ(df.Passp[0].Freq, c.freq);
        EXPECT_FLOAT_EQ(df.Passp[0].K0, c.k0);
        EXPECT_FLOAT_EQ(df.Passp[0].K1, c.k1);
    }
}

TEST(ZamiFile, ReadFloatAndWriteFloatSeparators)
{
    TempDir tmp;
    writeBytes(tmp / "k.zami", "[s]\r\na=1.5\r\nb=1,5\r\nc=1.000,5\r\nd=\r\ne=x\r\nf=-2e-3\r\n");
    for (char sep : {'.', ','}) {
        SCOPED_TRACE(sep);
        TZAMIFile z(fixedEnv(sep));
        z.Create(tmp / "k.zami", 0);
        EXPECT_DOUBLE_EQ(z.ReadFloat("s", "a", 9), 1.5);
        EXPECT_DOUBLE_EQ(z.ReadFloat("s", "b", 9), 1.5);
        EXPECT_DOUBLE_EQ(z.ReadFloat("s", "c", 9), 9);
        EXPECT_DOUBLE_EQ(z.ReadFloat("s", "d", 9), 9);
        EXPECT_DOUBLE_EQ(z.ReadFloat("s", "e", 9), 9);
        EXPECT_DOUBLE_EQ(z.ReadFloat("s", "f", 9), -0.002);
        EXPECT_DOUBLE_EQ(z.ReadFloat("s", "missing", 9), 9);
        z.WriteFloat("s", "w", 0.25);
        EXPECT_EQ(z.Keys().readString("s", "w", ""), "0.25");
        z.WriteFloat("s", "w", 1.0 / 3);
        EXPECT_EQ(z.Keys().readString("s", "w", ""), "0.333333333333333");
    }
}

TEST(ZamiDataSet, SavingAgainKeepsOtherSectionsAndRewritesChannels)
{
    TempDir tmp;
    const auto key = tmp / "run" / "run.zami";
    std::vector<float> first{1, 2, 3}, second{9, 8};
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        df.AddBuffer(3, "single", "uniform", bytesOf(first), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
        df.AddBuffer(3, "single", "uniform", bytesOf(first), {}, "b", "", "", "", 1, 0, 0, 1, nullptr);
    }
    writeBytes(key, fileBytes(key) + "\r\n[Notes]\r\n; kept comment\r\nwho=me\r\n");
    writeBytes(tmp / "run" / "a.pvw", "preview");
    writeBytes(tmp / "run" / "run.wp", "stale");
    {
        TDataF df(fixedEnv());
        df.CreateNew(tmp / "run", "Prod2", "статика ", ftZami, 2, 0, 45000.5f, "again");
        df.AddBuffer(2, "single", "uniform", bytesOf(second), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
    }
    const std::string text = fileBytes(key);
    EXPECT_NE(text.find("[b]"), std::string::npos);
    EXPECT_NE(text.find("[Notes]\r\n; kept comment\r\nwho=me\r\n"), std::string::npos);
    EXPECT_NE(text.find("Prod=Prod2\r\n"), std::string::npos);
    EXPECT_NE(text.find("Info=again\r\n"), std::string::npos);
    EXPECT_EQ(fileBytes(tmp / "run" / "a.dat").size(), 8u);
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "a.pvw"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "run.wp"));

    TDataF df(fixedEnv());
    df.Create(key, 2);
    EXPECT_EQ(df.TestName, "статика ");
    ASSERT_EQ(df.Nchan, 2);
    std::vector<float> y;
    std::vector<double> x;
    df.Get2ForeignSnglBuff(0, y, x);
    EXPECT_EQ(y, second);
}

TEST(ZamiDataSet, CreateNewOnAnExistingKeyFileOpensIt)
{
    TempDir tmp;
    std::vector<float> y{4, 5};
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        df.AddBuffer(2, "single", "uniform", bytesOf(y), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
    }
    TDataF df(fixedEnv());
    df.CreateNew(tmp / "run" / "run.zami", "X", "Y", ftPrx, 2, 0, 0, "");
    EXPECT_EQ(df.FormType, ftZami);
    EXPECT_EQ(df.ProdName, "Prod");
    EXPECT_EQ(df.Nchan, 1);
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "run.prx"));
}

TEST(ZamiDataSet, ScalingOverflowBecomesZero)
{
    TempDir tmp;
    std::vector<std::int16_t> raw{30000, 1, -30000};
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        df.AddBuffer(3, "int", "uniform", bytesOf(raw), {}, "a", "", "", "", 1, 0, 0, 3e38f, nullptr);
    }
    TDataF df(fixedEnv());
    df.Create(tmp / "run" / "run.zami", 2);
    std::vector<float> ys;
    std::vector<double> yd, x;
    df.Get2ForeignSnglBuff(0, ys, x);
    EXPECT_EQ(ys, (std::vector<float>{0.0f, 3e38f, 0.0f}));
    EXPECT_DOUBLE_EQ(df.Mxmm[0], 3e38f);
    EXPECT_DOUBLE_EQ(df.Mnmm[0], 0.0);
    df.Get2ForeignDblBuff(0, yd, x); // a double holds these
    EXPECT_DOUBLE_EQ(yd[0], 30000.0 * 3e38f);
    EXPECT_DOUBLE_EQ(yd[2], -30000.0 * 3e38f);
}

TEST(ZamiDataSet, NonFiniteStoredValuesReadAsZero)
{
    TempDir tmp;
    std::vector<double> raw{NAN, INFINITY, 2.0, 1e300};
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        df.AddBuffer(4, "double", "double", bytesOf(raw), bytesOf(raw), "a", "", "", "", 1, 0, 0, 10,
                     nullptr);
    }
    TDataF df(fixedEnv());
    df.Create(tmp / "run" / "run.zami", 2);
    std::vector<double> yd, xd;
    std::vector<float> ys, xs;
    df.Get2ForeignDblBuff(0, yd, xd);
    EXPECT_EQ(yd, (std::vector<double>{0, 0, 20, 1e301}));
    df.Get2ForeignSnglBuff(0, ys, xs);
    EXPECT_EQ(ys, (std::vector<float>{0, 0, 20, 0}));
    EXPECT_TRUE(std::isnan(xs[0]));
    EXPECT_EQ(xs[3], 0.0f); // 1e300 has no single form
    EXPECT_EQ(xd[3], 1e300);
}

TEST(ZamiDataSet, DamagedOrMissingChannelFilesAreClearErrors)
{
    TempDir tmp;
    std::vector<float> y{1, 2, 3, 4};
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        df.AddBuffer(4, "single", "single", bytesOf(y), bytesOf(y), "a", "", "", "", 1, 0, 0, 1, nullptr);
        df.AddBuffer(4, "single", "uniform", bytesOf(y), {}, "b", "", "", "", 1, 0, 0, 1, nullptr);
    }
    TDataF df(fixedEnv());
    df.Create(tmp / "run" / "run.zami", 2);
    writeBytes(tmp / "run" / "a.x", std::string(15, '\0')); // one byte short of 4 singles
    std::filesystem::remove(tmp / "run" / "b.dat");
    std::vector<float> ys;
    std::vector<double> x;
    try {
        df.Get2ForeignSnglBuff(0, ys, x);
        FAIL() << "short argument file accepted";
    } catch (const FormatError &e) {
        EXPECT_EQ(e.file(), tmp / "run" / "a.x");
    }
    EXPECT_THROW(df.Get2ForeignSnglBuff(1, ys, x), FileError);
    EXPECT_THROW(df.Get2ForeignSnglBuff(2, ys, x), ValueError);
    EXPECT_THROW(df.Get2ForeignSnglBuff(-1, ys, x), ValueError);

    TDataF missing(fixedEnv());
    EXPECT_THROW(missing.Create(tmp / "nothere.zami", 2), FileError);
    EXPECT_THROW(missing.Get2ForeignSnglBuff(0, ys, x), ValueError);
}

TEST(ZamiDataSet, RejectsWhatItCannotWriteWithoutTouchingFiles)
{
    TempDir tmp;
    TDataF df(fixedEnv());
    const auto key = newDataSet(df, tmp);
    const std::string before = fileBytes(key);
    std::vector<float> y{1, 2};
    EXPECT_THROW(df.AddBuffer(2, "single", "uniform", bytesOf(y), {}, "a/b", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_THROW(df.AddBuffer(2, "single", "uniform", bytesOf(y), {}, "..", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_THROW(
        df.AddBuffer(2, "single", "uniform", bytesOf(y), {}, "Zami", "", "", "", 1, 0, 0, 1, nullptr),
        ValueError);
    EXPECT_THROW(
        df.AddBuffer(2, "single", "uniform", bytesOf(y), {}, "AUDIO", "", "", "", 1, 0, 0, 1, nullptr),
        ValueError);
    EXPECT_THROW(df.AddBuffer(2, "uniform", "uniform", bytesOf(y), {}, "c", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_THROW(df.AddBuffer(3, "single", "uniform", bytesOf(y), {}, "c", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_THROW(
        df.AddBuffer(2, "single", "double", bytesOf(y), bytesOf(y), "c", "", "", "", 1, 0, 0, 1, nullptr),
        ValueError);
    EXPECT_THROW(df.AddBuffer(-1, "single", "uniform", bytesOf(y), {}, "c", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_EQ(df.Nchan, 0);
    EXPECT_EQ(fileBytes(key), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp / "run"), {}), 1);
}

TEST(ZamiDataSet, FailedChannelWriteIsReportedAndKeepsTheOldFiles)
{
    TempDir tmp;
    TDataF df(fixedEnv());
    const auto key = newDataSet(df, tmp);
    std::vector<float> y{1, 2};
    df.AddBuffer(2, "single", "uniform", bytesOf(y), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
    const std::string keyBefore = fileBytes(key);
    const std::string datBefore = fileBytes(tmp / "run" / "a.dat");
    ::chmod((tmp / "run" / "a.dat").c_str(), 0444);
    std::vector<float> z{7, 7, 7};
    EXPECT_THROW(df.AddBuffer(3, "single", "uniform", bytesOf(z), {}, "a", "", "", "", 5, 0, 0, 1, nullptr),
                 FileError);
    EXPECT_EQ(fileBytes(tmp / "run" / "a.dat"), datBefore);
    EXPECT_EQ(fileBytes(key), keyBefore);
    EXPECT_EQ(df.Nchan, 1);
    EXPECT_EQ(df.ZaFile->SectNames.size(), 1u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp / "run"), {}), 2); // no temporary left
}

TEST(ZamiDataSet, AddPointAppendsSamplesAndCountsThemInMemory)
{
    TempDir tmp;
    TDataF df(fixedEnv());
    const auto key = newDataSet(df, tmp);
    df.AddBuffer(0, "int", "double", {}, {}, "p", "", "", "", 1, 0, 0, 1, nullptr);
    df.AddBuffer(0, "double", "uniform", {}, {}, "q", "", "", "", 1, 0, 0, 1, nullptr);
    const std::string keyBefore = fileBytes(key);

    EXPECT_EQ(df.AddPoint("p", 2.5, 0.125), 0);
    EXPECT_EQ(df.AddPoint("p", -3.5, 0.25), 0);
    EXPECT_EQ(df.AddPoint("q", 1e100, 7), 1);
    EXPECT_EQ(df.AddPoint("none", 1, 1), -1);
    EXPECT_THROW(df.AddPoint("p", 40000, 0), ValueError);

    EXPECT_EQ(fileBytes(tmp / "run" / "p.dat"), std::string("\x02\x00\xFC\xFF", 4)); // ties to even
    EXPECT_EQ(fileBytes(tmp / "run" / "p.x").size(), 16u);
    EXPECT_EQ(fileBytes(tmp / "run" / "q.dat").size(), 8u);
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "q.x"));
    EXPECT_EQ(df.ZaFile->Keys().readString("p", "Length", ""), "2");
    EXPECT_EQ(fileBytes(key), keyBefore); // the key file waits for the next update

    std::vector<double> y, x;
    EXPECT_EQ(df.Get2ForeignDblBuff(0, y, x), 2);
    EXPECT_EQ(y, (std::vector<double>{2, -4}));
    EXPECT_EQ(x, (std::vector<double>{0.125, 0.25}));

    TDataF prax(fixedEnv());
    prax.CreateNew(tmp / "f.prx", "", "", ftPrx, 2, 0, 0, "");
    EXPECT_EQ(prax.AddPoint("p", 1, 1), -1);
}

TEST(ZamiDataSet, DeleteParRemovesSectionAndFiles)
{
    TempDir tmp;
    TDataF df(fixedEnv());
    const auto key = newDataSet(df, tmp);
    std::vector<float> y{1, 2};
    for (const char *name : {"a", "b", "c"})
        df.AddBuffer(2, "single", "single", bytesOf(y), bytesOf(y), name, "", "", "", 1, 0, 0, 1, nullptr);
    df.DeletePar(1);
    EXPECT_EQ(df.Nchan, 2);
    EXPECT_EQ(df.Passp[1].ParName, "c");
    EXPECT_EQ(df.Targets.size(), 3u); // the other arrays keep their length
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "b.dat"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "run" / "b.x"));
    EXPECT_EQ(fileBytes(key).find("[b]"), std::string::npos);
    EXPECT_EQ(df.ZaFile->SectNames, (std::vector<std::string>{"a", "c"}));
    EXPECT_THROW(df.DeletePar(2), ValueError);

    std::vector<float> ys, xs;
    df.Get2ForeignSnglBuff(1, ys, xs);
    EXPECT_EQ(ys, y);
}

TEST(ZamiDataSet, WriteInfoLastsOnlyWhenTheKeyFileIsWrittenAgain)
{
    TempDir tmp;
    const auto key = tmp / "run" / "run.zami";
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        df.WriteInfo("lost");
    }
    EXPECT_EQ(fileBytes(key).find("lost"), std::string::npos);
    {
        TDataF df(fixedEnv());
        df.Create(key, 2);
        df.WriteInfo("kept");
        std::vector<float> y{1};
        df.AddBuffer(1, "single", "uniform", bytesOf(y), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
    }
    EXPECT_NE(fileBytes(key).find("Info=kept\r\n"), std::string::npos);
}

TEST(ZamiDataSet, OwnBuffersAndProgress)
{
    TempDir tmp;
    std::vector<float> y(450);
    for (std::size_t i = 0; i < y.size(); ++i)
        y[i] = static_cast<float>(i);
    {
        TDataF df(fixedEnv());
        newDataSet(df, tmp);
        df.AddBuffer(450, "single", "single", bytesOf(y), bytesOf(y), "a", "", "", "", 1, 0, 1, 1, nullptr);
    }
    TDataF df(fixedEnv());
    df.Create(tmp / "run" / "run.zami", 2);
    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    EXPECT_EQ(df.Get2Snglbuffer(0, [&](std::int64_t d, std::int64_t t) { calls.emplace_back(d, t); }), 450);
    EXPECT_EQ(calls, (std::vector<std::pair<std::int64_t, std::int64_t>>{{0, 450}, {200, 450}, {400, 450}}));
    ASSERT_EQ(df.SnglBuffPntrY[0].size(), 450u);
    EXPECT_FLOAT_EQ(df.SnglBuffPntrY[0][449], 450.0f);
    EXPECT_DOUBLE_EQ(df.DblBuffPntrX[0][449], 449.0);
    EXPECT_EQ(df.Get2Dblbuffer(0), 450);
    EXPECT_DOUBLE_EQ(df.DblBuffPntrY[0][0], 1.0);
    EXPECT_EQ(df.FreeSnglbuffer(0), 0);
    EXPECT_TRUE(df.SnglBuffPntrY[0].empty());
    EXPECT_EQ(df.FreeDblbuffer(0), 0);
    EXPECT_TRUE(df.DblBuffPntrY[0].empty());
    EXPECT_TRUE(df.DblBuffPntrX[0].empty());
    df.Destroy();
    EXPECT_EQ(df.Nchan, 0);
    EXPECT_FALSE(df.ZaFile);
}

} // namespace
} // namespace vibrolan
