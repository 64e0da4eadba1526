// The calculator window: pair lists, the frequency table and its file, the
// pitch list and the nodal-diameter estimate, on a configuration that holds
// a four-blade travelling wave seen by two pairs a quarter period apart.
#include "base/code_pages.hpp"
#include "calc/calc_form.hpp"
#include "calc/calc_texts.hpp"
#include "config/cfg_dfm.hpp"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>
#include <numbers>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {

constexpr int kBlades = 4;
constexpr int kSize = 82; // Size - 2 = 10 whole periods of 8 samples

// Stage "St1": "P1" (fi 10) and "P3" (fi 50) enabled, "P2" (fi 20) not. Blade b
// of P1 lags blade b-1 by a quarter period; P3 sees every blade a further
// quarter period on, so the phase between the pairs is pi/2.
std::unique_ptr<TCfgDfm> MakeConfig(TMode mode)
{
    auto cfg = std::make_unique<TCfgDfm>();
    cfg->Mode = mode;
    cfg->CountStage = 1;
    TStage &st = cfg->Stages[0];
    st.NameStage = "St1";
    st.CountBlade = kBlades;
    st.CountPairs = 3;
    const char *names[] = {"P1", "P2", "P3"};
    const float fi[] = {10, 20, 50};
    const double shift[] = {0, 1, 0.5};
    for (int p = 0; p < 3; ++p) {
        TPair &pair = st.Pairs[static_cast<std::size_t>(p)];
        pair.NamePair = names[p];
        pair.fi = fi[p];
        pair.Checked = p != 1;
        pair.Size = kSize;
        pair.Freq.assign(kSize, 3000.0f);
        for (int b = 0; b < kBlades; ++b)
            for (int t = 0; t < kSize; ++t)
                pair.Ampl[static_cast<std::size_t>(b)].push_back(
                    static_cast<float>(std::cos(2 * std::numbers::pi * (t / 8.0 + b / 4.0 + shift[p] / 2))));
    }
    return cfg;
}

NumberFormat Comma()
{
    NumberFormat f;
    f.decimalSeparator = ',';
    return f;
}

QStringList Items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QString Cell(const QTableWidget *grid, int row, int col)
{
    const QTableWidgetItem *item = grid->item(row, col);
    return item ? item->text() : QStringLiteral("<none>");
}

} // namespace

class CalcTest : public QObject {
    Q_OBJECT
private slots:
    void pagesOnlyInSteadyState()
    {
        auto cfg = MakeConfig(TMode::mdDynamic);
        TCalcForm form(cfg.get(), Comma(), nullptr);
        form.show();
        for (int i = 0; i < 3; ++i)
            QVERIFY(!form.Pages->isTabVisible(i));

        cfg->Mode = TMode::mdStatic;
        form.FormShow();
        QVERIFY(form.Pages->isTabVisible(0));
        QVERIFY(!form.Pages->isTabVisible(1));
        QVERIFY(!form.Pages->isTabVisible(2));
        QCOMPARE(Items(form.CbxStage), QStringList{"St1"});
        QCOMPARE(form.CbxStage->currentIndex(), -1);
        QCOMPARE(form.CbxStage1->currentIndex(), -1);

        form.close(); // hidden, not destroyed
        QVERIFY(!form.isVisible());
        form.show();
        QVERIFY(form.Pages->isTabVisible(0));
    }

    void pairListsShowEnabledPairsAndTheAngleUsesThem()
    {
        auto cfg = MakeConfig(TMode::mdStatic);
        TCalcForm form(cfg.get(), Comma(), nullptr);
        form.FormShow();
        form.CbxStage->setCurrentIndex(0);
        QCOMPARE(Items(form.CbxPair1), (QStringList{"P1", "P3"}));
        QCOMPARE(Items(form.CbxPair2), (QStringList{"P1", "P3"}));
        QCOMPARE(form.LblMeanFreq->text(), QStringLiteral("Средняя частота = 50,00"));
        QCOMPARE(form.LblDFi->text(), QStringLiteral("Угол между парами 0,00"));

        form.BtnCalcPClick(); // same pair twice: no angle, nothing happens
        QVERIFY(!form.Pages->isTabVisible(1));
        QCOMPARE(Cell(form.SgGrd1, 2, 1), QString());

        form.CbxPair2->setCurrentIndex(1); // "P3", the third pair of the stage
        QCOMPARE(form.DFi(), 40.0f);
        QCOMPARE(form.LblDFi->text(), QStringLiteral("Угол между парами 40,00"));
        form.CbxPair1->setCurrentIndex(1);
        QCOMPARE(form.DFi(), 0.0f);
    }

    void frequencyTableAndItsFile()
    {
        auto cfg = MakeConfig(TMode::mdStatic);
        QTemporaryDir dir;
        FileRequest asked;
        TCalcForm form(cfg.get(), Comma(), nullptr, [&](const FileRequest &r) {
            asked = r;
            return QStringList{dir.filePath(QStringLiteral("table.dat"))};
        });
        form.SetIndexes(10, 60); // fewer than 100 samples apart: the whole series
        form.FormShow();
        form.CbxStage->setCurrentIndex(0);
        form.CbxPair2->setCurrentIndex(1);
        form.BtnCalcPClick();

        // phi = pi/2, k = 3/pi / 40 * 3000: 112.5, 337.5, 562.5, 787.5 Hz.
        const QStringList expected = {
            "№ лопатки\t\tчастота,Гц\t\tчастота,Гц\t\tчастота,Гц\t\tчастота,Гц",
            "\t\tгл.зн.аркос\t\t1-е доп.зн.аркос\t\t2-е доп.зн.аркос\t\t3-е доп.зн.аркос",
            "1\t\t112,5\t\t337,5\t\t562,5\t\t787,5",
            "2\t\t112,5\t\t337,5\t\t562,5\t\t787,5",
            "3\t\t112,5\t\t337,5\t\t562,5\t\t787,5",
            "4\t\t112,5\t\t337,5\t\t562,5\t\t787,5",
            " Среднее \t\t112,5  ±0,0%\t\t337,5  ±0,0%\t\t562,5  ±0,0%\t\t787,5  ±0,0%",
        };
        QCOMPARE(form.TableLines(), expected);
        QCOMPARE(form.SgGrd1->rowCount(), kBlades + 3);
        QCOMPARE(Cell(form.SgGrd1, 6, 4), QStringLiteral("787,5  ±0,0%"));
        QCOMPARE(form.LblStartIndex->text(), QStringLiteral("Начальный индекс = 0"));
        QCOMPARE(form.LblEndIndex->text(), QStringLiteral("Конечный индекс = 80"));
        QVERIFY(form.Pages->isTabVisible(1));
        const std::vector<float> result = form.StageResult(0);
        QCOMPARE(result.size(), std::size_t{kBlades + 1});
        QVERIFY(std::abs(result[0] - 112.5f) < 1e-3f);

        form.BtnSaveClick();
        QCOMPARE(asked.filter, QStringLiteral("Text files (*.txt)|*.TXT"));
        QVERIFY(asked.mode == FileRequest::Mode::Save);
        QFile file(dir.filePath(QStringLiteral("table.txt")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(static_cast<unsigned char>(bytes.at(0)), 0xB9u); // "№" in the 8-bit code page
        const QString text = QString::fromStdString(cp1251ToUtf8(bytes.toStdString()));
        QCOMPARE(text, expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("table.dat"))));
    }

    void stretchBeyondTheSeriesShowsNoData()
    {
        auto cfg = MakeConfig(TMode::mdStatic);
        cfg->Stages[0].Pairs[2].Ampl[1].clear(); // blade 2 of P3 was never measured
        TCalcForm form(cfg.get(), Comma(), nullptr);
        form.FormShow();
        form.CbxStage->setCurrentIndex(0);
        form.CbxPair2->setCurrentIndex(1);
        form.BtnCalcPClick();
        QCOMPARE(Cell(form.SgGrd1, 3, 1), NoDataText());
        QCOMPARE(Cell(form.SgGrd1, 4, 1), QStringLiteral("112,5"));

        form.SetIndexes(1000, 1100);
        form.BtnCalcPClick();
        QCOMPARE(form.LblStartIndex->text(), QStringLiteral("Начальный индекс = 1000"));
        QCOMPARE(form.LblEndIndex->text(), QStringLiteral("Конечный индекс = 1000"));
        for (int c = 1; c <= 4; ++c) {
            QCOMPARE(Cell(form.SgGrd1, 2, c), NoDataText());
            QCOMPARE(Cell(form.SgGrd1, kBlades + 2, c), NoDataText());
        }
    }

    void bladeCountBeyondCapacityIsCut()
    {
        // A stage claiming more blades than the per-blade arrays hold reads
        // only what they hold.
        auto cfg = MakeConfig(TMode::mdStatic);
        cfg->Stages[0].CountBlade = 300;
        TCalcForm form(cfg.get(), Comma(), nullptr);
        form.FormShow();
        form.CbxStage->setCurrentIndex(0);
        form.CbxPair2->setCurrentIndex(1);
        form.BtnCalcPClick();
        QCOMPARE(form.SgGrd1->rowCount(), int(kMaxBlades) + 3);
        QCOMPARE(Cell(form.SgGrd1, 2, 1), QStringLiteral("112,5"));
        QCOMPARE(Cell(form.SgGrd1, int(kMaxBlades) + 1, 1), NoDataText());
        form.CbxStage1->setCurrentIndex(0);
        QCOMPARE(form.CheckListBox1->count(), int(kMaxBlades));
        form.BtnCalcMClick();
        QCOMPARE(form.CheckListBox1->item(int(kMaxBlades) - 1)->text(),
                 QStringLiteral("Лоп.255   ") + NoDataText());
    }

    void nodalDiameters()
    {
        auto cfg = MakeConfig(TMode::mdStatic);
        TCalcForm form(cfg.get(), Comma(), nullptr);
        form.FormShow();
        form.CbxStage->setCurrentIndex(0);
        form.CbxPair2->setCurrentIndex(1);
        form.BtnCalcPClick(); // P = 112.5 Hz

        QVERIFY(!form.BtnCalcM->isEnabled());
        form.CbxStage1->setCurrentIndex(0);
        QVERIFY(form.BtnCalcM->isEnabled());
        const QTableWidget *pitch = form.ValueListEditor1;
        QCOMPARE(pitch->rowCount(), kBlades + 1);
        const char *names[] = {"Fi2 - Fi1", "Fi3 - Fi2", "Fi4 - Fi3", "Fi1 - Fi4", "Всего   ="};
        for (int r = 0; r < kBlades + 1; ++r)
            QCOMPARE(Cell(pitch, r, 0), QString::fromUtf8(names[r]));
        QCOMPARE(Cell(pitch, 0, 1), QStringLiteral("90,0000"));
        QCOMPARE(Cell(pitch, kBlades, 1), QStringLiteral("360,0000"));
        QCOMPARE(Items(form.CbxPair3), (QStringList{"P1", "P3"}));
        QCOMPARE(form.CheckListBox1->count(), kBlades);
        QCOMPARE(form.CheckListBox1->item(0)->text(), QStringLiteral("Лоп.1   0,000"));

        // Editing a pitch updates the total; an unreadable value is undone.
        form.ValueListEditor1->item(0, 1)->setText(QStringLiteral("100,5"));
        QCOMPARE(Cell(pitch, kBlades, 1), QStringLiteral("370,5000"));
        form.ValueListEditor1->item(0, 1)->setText(QStringLiteral("abc"));
        QCOMPARE(Cell(pitch, 0, 1), QStringLiteral("100,5000"));
        form.ValueListEditor1->item(0, 1)->setText(QStringLiteral("90"));
        QCOMPARE(Cell(pitch, kBlades, 1), QStringLiteral("360,0000"));

        // One nodal diameter, blade 1 taken the other way round: q = 3, 1, 1, 1,
        // q mean 1.5, P / f_rot = 112.5 / 50: m1 = 3.75, m2 = -0.75, m = 4.
        form.CheckListBox1->item(0)->setCheckState(Qt::Checked);
        form.BtnCalcMClick();
        QCOMPARE(form.CheckListBox1->item(0)->text(), QStringLiteral("Лоп.1   3,000"));
        QCOMPARE(form.CheckListBox1->item(3)->text(), QStringLiteral("Лоп.4   1,000"));
        QCOMPARE(form.LblM->text(), QStringLiteral("m=4"));
        QVERIFY(form.LblM1->text().startsWith(QStringLiteral("m1=3,7")));
        QVERIFY(form.LblM2->text().startsWith(QStringLiteral("m2=-0,7")));
    }

    void txtExtension_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("saved");
        QTest::newRow("other extension") << "/d/table.dat"
                                         << "/d/table.txt";
        QTest::newRow("none") << "/d.x/table"
                              << "/d.x/table.txt";
        QTest::newRow("upper case") << "/d/T.TXT"
                                    << "/d/T.txt";
    }
    void txtExtension()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, saved);
        QCOMPARE(WithTxtExtension(chosen), saved);
    }
};

QTEST_MAIN(CalcTest)
#include "test_app_calc.moc"
