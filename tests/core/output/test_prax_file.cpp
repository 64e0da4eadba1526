#include "base/errors.hpp"
#include "data_file_test_support.hpp"
#include "output/data_file.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vibrolan {
namespace {

using test::bytesOf;
using test::fileBytes;
using test::fixedEnv;
using test::TempDir;
using test::writeBytes;

std::string zeros(std::size_t n) { return std::string(n, '\0'); }

// A 58-byte channel record assembled by hand from the record layout.
std::string record(const std::string &parName866, const std::string &step, const std::string &k0,
                   const std::string &k1, std::uint32_t length, char format)
{
    std::string r = parName866 + zeros(12 - parName866.size()); // ParName
    r += zeros(12);                                             // CharName
    r += zeros(8);                                              // Units
    r += step + k0 + k1;
    for (int i = 0; i < 4; ++i)
        r += static_cast<char>((length >> (8 * i)) & 0xFF);
    r += format;
    r += zeros(4) + zeros(4) + zeros(1); // Tn, Tk, Reserv
    return r;
}

const std::string one = std::string("\x00\x00\x80\x3F", 4); // 1.0f

std::string header(std::uint16_t nchan)
{
    return std::string("\x8F\x90\x8A\x91", 4) + zeros(8) + zeros(8) + zeros(8) +
           std::string{static_cast<char>(nchan & 0xFF), static_cast<char>(nchan >> 8)} + zeros(2);
}

TEST(PraxFile, HeaderAndRecordAreByteExact)
{
    TempDir tmp;
    TDataF df(fixedEnv());
    df.CreateNew(tmp / "t.dat", "Изд", "ABCDEFGH", ftPrx, 2, 0, 0, "");
    EXPECT_EQ(df.DaName, tmp / "t.prx");
    EXPECT_EQ(df.PRAXRec, "PRAX");
    EXPECT_EQ(df.Date, "15.03.2023");
    std::vector<std::int16_t> y{1, -1};
    df.AddBuffer(2, "int", "uniform", bytesOf(y), {}, "Канал", "Хар", "мм", "c", 4.0f, 0, 0.5f, 2.0f,
                 nullptr);

    const std::string expected = std::string("\x8F\x90\x8A\x91", 4)          // "ПРКС" in CP866
                                 + std::string("\x88\xA7\xA4", 3) + zeros(5) // "Изд"
                                 + "ABCDEFGH"                                // full width, no terminator
                                 + "15.03.20"                         // first 8 of "15.03.2023 12:00:00"
                                 + std::string("\x01\x00\x00\x00", 4) // Nchan 1, Reserv 0
                                 + std::string("\x8A\xA0\xAD\xA0\xAB", 5) + zeros(7) // "Канал"
                                 + std::string("\x95\xA0\xE0", 3) + zeros(9)         // "Хар"
                                 + std::string("\xAC\xAC", 2) + zeros(6)             // "мм"
                                 + std::string("\x00\x00\x80\x3E", 4)                // Step 0.25
                                 + std::string("\x00\x00\x00\x3F", 4)                // K0 0.5
                                 + std::string("\x00\x00\x00\x40", 4)                // K1 2
                                 + std::string("\x02\x00\x00\x00", 4)                // Length 2
                                 + "\x02"                                            // Format int
                                 + zeros(4) + zeros(4) + zeros(1)                    // Tn, Tk, Reserv
                                 + std::string("\x01\x00\xFF\xFF", 4)                // samples 1, -1
                                 + "\xFF\xFF";
    EXPECT_EQ(fileBytes(tmp / "t.prx"), expected);
}

TEST(PraxFile, EveryStoredFormatRoundTrips)
{
    TempDir tmp;
    const std::vector<int> raw{-3, 0, 7, 100};
    const std::vector<std::int8_t> b(raw.begin(), raw.end());
    const std::vector<std::int16_t> i(raw.begin(), raw.end());
    const std::vector<float> s(raw.begin(), raw.end());
    const std::vector<double> d(raw.begin(), raw.end());
    {
        TDataF df(fixedEnv());
        df.CreateNew(tmp / "r.prx", "P", "Тест", ftPrx, 2, 0, 0, "");
        df.AddBuffer(4, "byte", "single", bytesOf(b), {}, "b", "", "", "", 10, 0, 0.5f, 2, nullptr);
        df.AddBuffer(4, "I2", "single", bytesOf(i), {}, "i", "", "", "", 10, 0, 0.5f, 2, nullptr);
        df.AddBuffer(4, "R4", "single", bytesOf(s), {}, "s", "", "", "", 10, 0, 0.5f, 2, nullptr);
        df.AddBuffer(4, "Double", "single", bytesOf(d), {}, "d", "Величина", "Единицы1", "", 0, 0, 0.5f, 2,
                     nullptr);
    }
    TDataF df(fixedEnv());
    df.Create(tmp / "r.prx", 2);
    EXPECT_EQ(df.FormType, ftPrx);
    EXPECT_EQ(df.ProdName, "P");
    EXPECT_EQ(df.TestName, "Тест");
    EXPECT_EQ(df.Date, "15.03.20");
    ASSERT_EQ(df.Nchan, 4);
    const std::uint8_t formats[] = {1, 2, 4, 8};
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE(ch);
        const TPassp &p = df.Passp[static_cast<std::size_t>(ch)];
        EXPECT_EQ(p.FormatY, formats[ch]);
        EXPECT_EQ(p.FormatX, 0);
        EXPECT_EQ(p.Length, 4);
        EXPECT_FLOAT_EQ(p.Freq, ch == 3 ? 0.0f : 10.0f); // a frequency of 0 is stored as step 0
        EXPECT_EQ(df.Targets[static_cast<std::size_t>(ch)], 0);
        std::vector<double> y, x{1};
        std::vector<float> ys, xs;
        ASSERT_EQ(df.Get2ForeignDblBuff(ch, y, x), 4);
        ASSERT_EQ(df.Get2ForeignSnglBuff(ch, ys, xs), 4);
        EXPECT_TRUE(x.empty());
        for (std::size_t k = 0; k < raw.size(); ++k) {
            EXPECT_DOUBLE_EQ(y[k], raw[k] * 2.0 + 0.5);
            EXPECT_FLOAT_EQ(ys[k], static_cast<float>(raw[k] * 2.0 + 0.5));
        }
    }
    EXPECT_EQ(df.Passp[3].CharName, "Величина");
    EXPECT_EQ(df.Passp[3].YUnits, "Единицы1"); // exactly fills its 8 bytes
}

TEST(PraxFile, EightCharacterTestNameReadsAsSeven)
{
    TempDir tmp;
    {
        TDataF df(fixedEnv());
        df.CreateNew(tmp / "n.prx", "ИЗДЕЛИЕ1", "ВЫБЕГ123", ftPrx, 2, 0, 0, "");
    }
    TDataF df(fixedEnv());
    df.Create(tmp / "n.prx", 0);
    EXPECT_EQ(df.ProdName, "ИЗДЕЛИЕ");
    EXPECT_EQ(df.TestName, "ВЫБЕГ12");
}

TEST(PraxFile, AppendingShiftsTheBlocksByOneRecord)
{
    TempDir tmp;
    const auto file = tmp / "s.prx";
    std::vector<std::int16_t> a{1, 2, 3}, b{4, 5};
    TDataF df(fixedEnv());
    df.CreateNew(tmp / "s", "", "", ftPrx, 2, 0, 0, "");
    ASSERT_EQ(df.DaName, file);
    df.AddBuffer(3, "int", "uniform", bytesOf(a), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
    df.AddBuffer(2, "int", "uniform", bytesOf(b), {}, "b", "", "", "", 1, 0, 0, 1, nullptr);
    const std::string before = fileBytes(file);
    const std::size_t oldStart = 32 + 2 * 58;
    ASSERT_EQ(before.size(), oldStart + 6 + 2 + 4 + 2);

    std::vector<double> c{0.5};
    df.AddBuffer(1, "double", "uniform", bytesOf(c), {}, "c", "", "", "", 1, 0, 0, 1, nullptr);
    const std::string after = fileBytes(file);
    EXPECT_EQ(after.size(), before.size() + 58 + 8 + 2);
    EXPECT_EQ(after.substr(oldStart + 58, 14), before.substr(oldStart)); // both old blocks, 58 bytes on
    EXPECT_EQ(after.substr(after.size() - 2), "\xFF\xFF");
    EXPECT_EQ(after[28], 3);

    std::filesystem::copy_file(file, tmp / "upper.PRX"); // upper-case extension is PRAX too
    TDataF in(fixedEnv());
    in.Create(tmp / "upper.PRX", 2);
    EXPECT_EQ(in.FormType, ftPrx);
    ASSERT_EQ(in.Nchan, 3);
    std::vector<float> y;
    std::vector<double> x;
    in.Get2ForeignSnglBuff(1, y, x);
    EXPECT_EQ(y, (std::vector<float>{4, 5}));
    in.Get2ForeignSnglBuff(2, y, x);
    EXPECT_EQ(y, (std::vector<float>{0.5f}));
}

TEST(PraxFile, DeleteParRemovesRecordAndBlock)
{
    TempDir tmp;
    const auto file = tmp / "d.prx";
    std::vector<std::int16_t> a{1, 2, 3}, b{4, 5}, c{6};
    TDataF df(fixedEnv());
    df.CreateNew(file, "", "", ftPrx, 2, 0, 0, "");
    df.AddBuffer(3, "int", "uniform", bytesOf(a), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
    df.AddBuffer(2, "int", "uniform", bytesOf(b), {}, "b", "", "", "", 1, 0, 0, 1, nullptr);
    df.AddBuffer(1, "int", "uniform", bytesOf(c), {}, "c", "", "", "", 1, 0, 0, 1, nullptr);
    const auto sizeBefore = fileBytes(file).size();
    df.DeletePar(1);
    EXPECT_EQ(fileBytes(file).size(), sizeBefore - 58 - 4 - 2);
    EXPECT_EQ(df.Nchan, 2);
    EXPECT_EQ(df.Passp[1].ParName, "c");

    TDataF in(fixedEnv());
    in.Create(file, 2);
    ASSERT_EQ(in.Nchan, 2);
    EXPECT_EQ(in.Passp[1].ParName, "c");
    std::vector<float> y;
    std::vector<double> x;
    in.Get2ForeignSnglBuff(0, y, x);
    EXPECT_EQ(y, (std::vector<float>{1, 2, 3}));
    in.Get2ForeignSnglBuff(1, y, x);
    EXPECT_EQ(y, (std::vector<float>{6}));
}

TEST(PraxFile, DamagedFilesAreFormatErrors)
{
    struct Case {
        const char *what;
        std::string bytes;
        bool failsOnOpen;
    };
    const std::string data = std::string("\x01\x00\xFF\xFF", 4);
    const Case cases[] = {
        {"shorter than a header", header(0).substr(0, 20), true},
        {"table beyond the end", header(3) + record("a", one, zeros(4), one, 2, 2), true},
        {"negative length", header(1) + record("a", one, zeros(4), one, 0x80000000u, 2), true},
        {"samples beyond the end", header(1) + record("a", one, zeros(4), one, 1000, 2) + data, false},
        {"huge length", header(1) + record("a", one, zeros(4), one, 0x7FFFFFFFu, 8) + data, false},
        {"unknown format", header(1) + record("a", one, zeros(4), one, 1, 3) + data, false},
        {"format 0", header(1) + record("a", one, zeros(4), one, 5, 0) + std::string("\xFF\xFF", 2), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tmp;
        writeBytes(tmp / "bad.prx", c.bytes);
        TDataF df(fixedEnv());
        if (c.failsOnOpen) {
            EXPECT_THROW(df.Create(tmp / "bad.prx", 2), FormatError);
            EXPECT_EQ(df.Nchan, 0);
            continue;
        }
        df.Create(tmp / "bad.prx", 2);
        std::vector<float> y;
        std::vector<double> x;
        EXPECT_THROW(df.Get2ForeignSnglBuff(0, y, x), FormatError);
        if (c.bytes[32 + 48] == 0)
            continue; // a channel of no stored samples still has a sound layout
        std::vector<std::int16_t> more{1};
        EXPECT_THROW(
            df.AddBuffer(1, "int", "uniform", bytesOf(more), {}, "m", "", "", "", 1, 0, 0, 1, nullptr),
            Error);
        EXPECT_EQ(fileBytes(tmp / "bad.prx"), c.bytes); // an append never damages it
    }
    TempDir tmp;
    TDataF df(fixedEnv());
    EXPECT_THROW(df.Create(tmp / "none.prx", 2), FileError);
    std::filesystem::create_directory(tmp / "dir.prx");
    EXPECT_THROW(df.Create(tmp / "dir.prx", 2), FileError);
}

TEST(PraxFile, ReadOnlyFileOpensForReadingAndRefusesChanges)
{
    TempDir tmp;
    const auto file = tmp / "ro.prx";
    std::vector<std::int16_t> a{1, 2};
    {
        TDataF df(fixedEnv());
        df.CreateNew(file, "", "", ftPrx, 2, 0, 0, "");
        df.AddBuffer(2, "int", "uniform", bytesOf(a), {}, "a", "", "", "", 1, 0, 0, 1, nullptr);
    }
    const std::string before = fileBytes(file);
    {
        TDataF df(fixedEnv());
        df.Create(file, 0); // opened for reading
        EXPECT_THROW(df.AddBuffer(2, "int", "uniform", bytesOf(a), {}, "b", "", "", "", 1, 0, 0, 1, nullptr),
                     FileError);
        EXPECT_THROW(df.DeletePar(0), FileError);
        EXPECT_EQ(df.Nchan, 1);
    }
    ::chmod(file.c_str(), 0444);
    TDataF df(fixedEnv());
    df.Create(file, 2);
    std::vector<float> y;
    std::vector<double> x;
    EXPECT_EQ(df.Get2ForeignSnglBuff(0, y, x), 2);
    EXPECT_THROW(df.AddBuffer(2, "int", "uniform", bytesOf(a), {}, "b", "", "", "", 1, 0, 0, 1, nullptr),
                 FileError);
    EXPECT_EQ(fileBytes(file), before);
}

TEST(PraxFile, RefusesValuesItCannotStore)
{
    TempDir tmp;
    TDataF df(fixedEnv());
    df.CreateNew(tmp / "v.prx", "", "", ftPrx, 2, 0, 0, "");
    const std::string before = fileBytes(tmp / "v.prx");
    std::vector<float> y{1};
    EXPECT_THROW(df.AddBuffer(1, "uniform", "uniform", bytesOf(y), {}, "a", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_THROW(df.AddBuffer(1, "Tacho", "uniform", bytesOf(y), {}, "a", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_THROW(df.AddBuffer(2, "single", "uniform", bytesOf(y), {}, "a", "", "", "", 1, 0, 0, 1, nullptr),
                 ValueError);
    EXPECT_EQ(fileBytes(tmp / "v.prx"), before);
    EXPECT_EQ(df.Nchan, 0);
}

} // namespace
} // namespace vibrolan
