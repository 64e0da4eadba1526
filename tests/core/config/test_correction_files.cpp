#include "config/cfg_dfm.hpp"
#include "config/correction_files.hpp"
#include "config/program_folder.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;
using vibrolan::test::TempDir;

namespace {

struct Fixture {
    TempDir dir;
    TCfgDfm cfg;
    RecordingMessageSink sink;

    Fixture()
    {
        cfg.InitDefault(); // stage 0 is shrouded
        cfg.NmPopravk = (dir / "popravk.dat").string();
        cfg.NmSnom = (dir / "snom.dat").string();
        cfg.NmXnom = (dir / "xnom.dat").string();
    }
    void write(const std::string &name, const std::string &text) { writeFileAtomically(dir / name, text); }
};

} // namespace

TEST(CorrectionFiles, ReadsTheCoefficientTables)
{
    Fixture f;
    f.write("popravk.dat", "10 20 30\n1 0.5 0.6 0.7\n1 0.8 0.9 1.0\n");
    ReadCorrectionCoefficients(f.cfg, true, f.sink);
    EXPECT_EQ(f.cfg.Xn[0], 10);
    EXPECT_EQ(f.cfg.Xn[2], 30);
    EXPECT_EQ(f.cfg.Xm[0], 1);
    EXPECT_EQ(f.cfg.Coeff[0][0], 0.5);
    EXPECT_EQ(f.cfg.Coeff[0][2], 0.7);
    EXPECT_EQ(f.cfg.Xt[0][0], 0.8);
    EXPECT_EQ(f.cfg.Xt[0][2], 1.0);
    EXPECT_EQ(f.cfg.n, 3);
    EXPECT_EQ(f.cfg.m, 1);
    ASSERT_EQ(f.sink.messages().size(), 1u);
    EXPECT_EQ(f.sink.messages()[0].caption, "считаны поправки ");
    EXPECT_EQ(f.sink.messages()[0].text, "3 x 1 файл " + f.cfg.NmPopravk);
}

TEST(CorrectionFiles, LineShapesBlanksAndBadTokens)
{
    Fixture f;
    f.write("popravk.dat", "  5\t6 7 8 \r\n");
    ReadCorrectionCoefficients(f.cfg, false, f.sink);
    EXPECT_EQ(f.cfg.n, 4);
    EXPECT_EQ(f.cfg.m, 0);
    EXPECT_EQ(f.cfg.Xn[3], 8);
    EXPECT_TRUE(f.sink.messages().empty());

    // Two row pairs; a token that is no number reads as 0; the second Xm wins.
    f.write("popravk.dat", "1 2\n3 4 x\n9 6 7\n11 1e1 +2\n12 13 14\n");
    ReadCorrectionCoefficients(f.cfg, false, f.sink);
    EXPECT_EQ(f.cfg.m, 2);
    EXPECT_EQ(f.cfg.n, 2);
    EXPECT_EQ(f.cfg.Xm[0], 9);
    EXPECT_EQ(f.cfg.Coeff[0][1], 0);
    EXPECT_EQ(f.cfg.Coeff[1][0], 10);
    EXPECT_EQ(f.cfg.Coeff[1][1], 2);
    EXPECT_EQ(f.cfg.Xt[1][1], 14);
}

TEST(CorrectionFiles, MissingFileOrNoShroudedStageReadsNothing)
{
    Fixture f;
    f.cfg.Xn[0] = 42;
    ReadCorrectionCoefficients(f.cfg, true, f.sink);
    EXPECT_EQ(f.cfg.Xn[0], 42);
    EXPECT_TRUE(f.sink.messages().empty());

    f.write("popravk.dat", "1 2 3\n");
    f.cfg.Stages[0].TypeStage = TTypeStage::tsFree;
    ReadCorrectionCoefficients(f.cfg, true, f.sink);
    EXPECT_EQ(f.cfg.Xn[0], 42);

    f.cfg.Stages[0].TypeStage = TTypeStage::tsBandag;
    f.cfg.NmPopravk.clear();
    ReadCorrectionCoefficients(f.cfg, true, f.sink);
    EXPECT_EQ(f.cfg.NmPopravk, (ProgramFolder() / "popravk.dat").string());
}

TEST(CorrectionFiles, MoreThanThirtyTwoColumnsOrRowsIsAClearError)
{
    Fixture f;
    std::string wide;
    for (int i = 0; i < 33; ++i)
        wide += std::to_string(i + 1) + " ";
    f.write("popravk.dat", wide + "\n");
    try {
        ReadCorrectionCoefficients(f.cfg, true, f.sink);
        ADD_FAILURE();
    } catch (const FormatError &e) {
        EXPECT_EQ(e.file(), f.dir / "popravk.dat");
        EXPECT_NE(std::string(e.what()).find("больше 32 чисел"), std::string::npos);
    }
    EXPECT_EQ(f.cfg.Xn[31], 32) << "the values before the excess one stay";

    std::string tall = "1\n";
    for (int r = 0; r < 33; ++r)
        tall += "1 2\n1 3\n";
    f.write("popravk.dat", tall);
    EXPECT_THROW(ReadCorrectionCoefficients(f.cfg, false, f.sink), FormatError);
    EXPECT_EQ(f.cfg.m, 32);
}

TEST(CorrectionFiles, DriftAndDeviationFilesAreChecked)
{
    Fixture f;
    LoadCorrectionFiles(f.cfg, true, f.sink);
    ASSERT_EQ(f.sink.messages().size(), 2u);
    EXPECT_EQ(f.sink.messages()[0].caption, "Предупреждение");
    EXPECT_EQ(f.sink.messages()[0].text, "нет файла " + f.cfg.NmSnom);
    EXPECT_EQ(f.sink.messages()[1].text, "нет файла " + f.cfg.NmXnom);

    f.sink.clear();
    LoadCorrectionFiles(f.cfg, false, f.sink);
    EXPECT_TRUE(f.sink.messages().empty());

    f.write("snom.dat", "1\n2\n");
    f.write("xnom.dat", "");
    LoadCorrectionFiles(f.cfg, true, f.sink);
    EXPECT_TRUE(f.sink.messages().empty());

    f.cfg.NmSnom.clear();
    CheckOffsetDriftFile(f.cfg, false, f.sink);
    EXPECT_EQ(f.cfg.NmSnom, (ProgramFolder() / "Snom.dat").string());
}
