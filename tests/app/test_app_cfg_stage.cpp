// The free-blade and shrouded-stage editors, driven through their command
// methods (no window is shown).
#include "cfg_stage/cfg_bandag_dlg.hpp"
#include "cfg_stage/cfg_free_dlg.hpp"

#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>
#include <QtTest>

#include <vector>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {

const NumberFormat kComma{','};
const NumberFormat kPoint{'.'};

// Stage 0 shrouded, stages 1 and 2 free; stage 3 is free but not configured.
TCfgDfm MakeCfg()
{
    TCfgDfm cfg;
    cfg.CountStage = 3;
    const char *names[] = {"Бандаж", "Свободная A", "Свободная B", "Лишняя"};
    for (std::size_t i = 0; i < 4; ++i) {
        TStage &s = cfg.Stages[i];
        s.NameStage = names[i];
        s.TypeStage = i == 0 ? TTypeStage::tsBandag : TTypeStage::tsFree;
        s.CountHarm = 3;
        s.OrderHarm[0] = static_cast<std::uint16_t>(5 + i);
        s.OrderHarm[1] = 7;
        s.OrderHarm[2] = 9;
        s.OrderHarm[3] = 77; // beyond the count
        s.LimStressResonance = 12.345f;
        s.LimStressStill = 6.5f;
        s.CfResonance = 0.25f;
        s.CfStill = 0.004f;
        s.f1 = 3.75f;
        s.BIn = 10.5f + static_cast<float>(i);
        s.BOut = 20.5f + static_cast<float>(i);
        s.Q = 0.5f;
    }
    cfg.f2 = 1.5f, cfg.f3 = 2.5f, cfg.f4 = 3.5f, cfg.g1 = 4.5f, cfg.g2 = 5.5f;
    cfg.g3 = 6.5f, cfg.g4 = 7.5f, cfg.g5 = 8.5f, cfg.h1 = 9.5f, cfg.h4 = 10.5f, cfg.h5 = 11.5f;
    cfg.b1 = 0.05f;
    cfg.b2 = 0.15f;
    cfg.NmPopravk = "/data/popravk.dat";
    cfg.NmSnom = "/data/snom.dat";
    cfg.NmXnom = "/data/xnom.dat";
    cfg.NmSnomFree = "/data/snomfree.dat";
    return cfg;
}

// Every field the two editors may touch.
struct Snapshot {
    struct Stage {
        std::int32_t CountHarm;
        std::array<std::uint16_t, kMaxHarmonics> OrderHarm;
        float LimStressResonance, LimStressStill, CfResonance, CfStill, f1, BIn, BOut, Q;
        bool operator==(const Stage &) const = default;
    };
    std::vector<Stage> stages;
    std::vector<float> constants;
    std::vector<std::string> names;
    bool operator==(const Snapshot &) const = default;
};

Snapshot Snap(const TCfgDfm &c)
{
    Snapshot s;
    for (const TStage &t : c.Stages)
        s.stages.push_back({t.CountHarm, t.OrderHarm, t.LimStressResonance, t.LimStressStill, t.CfResonance,
                            t.CfStill, t.f1, t.BIn, t.BOut, t.Q});
    s.constants = {c.f2, c.f3, c.f4, c.g1, c.g2, c.g3, c.g4, c.g5, c.h1, c.h4, c.h5, c.b1, c.b2};
    s.names = {c.NmPopravk, c.NmSnom, c.NmXnom, c.NmSnomFree};
    return s;
}

QStringList HarmonicRows(const QTreeWidget *list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows << list->topLevelItem(i)->text(0) + QLatin1Char(':') + list->topLevelItem(i)->text(1);
    return rows;
}

void SelectHarmonic(QTreeWidget *list, int row) { list->setCurrentItem(list->topLevelItem(row)); }

} // namespace

class CfgStageTest : public QObject {
    Q_OBJECT
private slots:
    void bandagOpensWithPointValuesThenRegionalSelection()
    {
        TCfgDfm cfg = MakeCfg();
        RecordingMessageSink sink;
        TCfgBandagDlg dlg(nullptr, kComma, &sink);
        dlg.ReadData(cfg);
        QCOMPARE(dlg.CbxStage->count(), 1);
        QCOMPARE(dlg.CbxStage->itemText(0), QStringLiteral("Бандаж"));
        QCOMPARE(HarmonicRows(dlg.LstHarm), (QStringList{"1:5", "2:7", "3:9"}));
        QCOMPARE(dlg.EdtHarm->text(), QStringLiteral("5"));
        QCOMPARE(dlg.EdtConst[0]->text(), QStringLiteral("1.5"));
        QCOMPARE(dlg.EdtConst[8]->text(), QStringLiteral("10.5"));
        QCOMPARE(dlg.EdtLimResonance->text(), QStringLiteral("12.345"));
        QCOMPARE(dlg.EdtCfStill->text(), QStringLiteral("0.004"));
        QCOMPARE(dlg.EdtNmSnom->text(), QStringLiteral("/data/snom.dat"));

        dlg.CbxStageChange(0);
        QCOMPARE(dlg.EdtLimStill->text(), QStringLiteral("6,50"));
        QCOMPARE(dlg.EdtLimResonance->text(), QStringLiteral("12,35"));
        QCOMPARE(dlg.EdtCfResonance->text(), QStringLiteral("0,25"));
        QCOMPARE(dlg.Edtf1->text(), QStringLiteral("3,75"));
    }

    void bandagDeletedHarmonicStaysDeleted()
    {
        TCfgDfm cfg = MakeCfg();
        RecordingMessageSink sink;
        TCfgBandagDlg dlg(nullptr, kPoint, &sink);
        dlg.SetCfgDfm(cfg);
        dlg.ReadData(cfg);
        SelectHarmonic(dlg.LstHarm, 1);
        QVERIFY(dlg.BtnDeleteClick());
        QCOMPARE(HarmonicRows(dlg.LstHarm), (QStringList{"1:5", "2:9"}));
        dlg.accept();
        QVERIFY(dlg.Records().Items().empty());

        QCOMPARE(cfg.Stages[0].CountHarm, 2);
        QCOMPARE(cfg.Stages[0].OrderHarm[0], 5);
        QCOMPARE(cfg.Stages[0].OrderHarm[1], 9);
        dlg.ReadData(cfg);
        QCOMPARE(HarmonicRows(dlg.LstHarm), (QStringList{"1:5", "2:9"}));
        QVERIFY(sink.messages().empty());
    }

    void bandagOkReadsPointFormat_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<float>("stored");
        QTest::newRow("point") << "2.25" << 2.25f;
        QTest::newRow("exponent") << "1e3" << 1000.0f;
        QTest::newRow("comma is no number") << "2,25" << 0.0f;
        QTest::newRow("grouping is no number") << "1,500" << 0.0f;
        QTest::newRow("letters") << "abc" << 0.0f;
        QTest::newRow("empty") << "" << 0.0f;
        QTest::newRow("beyond a Single") << "1e40" << 0.0f;
    }
    void bandagOkReadsPointFormat()
    {
        QFETCH(QString, typed);
        QFETCH(float, stored);
        TCfgDfm cfg = MakeCfg();
        RecordingMessageSink sink;
        TCfgBandagDlg dlg(nullptr, kComma, &sink);
        dlg.ReadData(cfg);
        dlg.EdtConst[0]->setText(typed);
        dlg.EdtConst[8]->setText(typed);
        dlg.EdtNmXnom->setText(QStringLiteral("/другой/xnom.dat"));
        dlg.WriteData(cfg);
        QCOMPARE(cfg.f2, stored);
        QCOMPARE(cfg.h4, stored);
        QCOMPARE(cfg.f3, 2.5f);
        QCOMPARE(cfg.NmXnom, std::string("/другой/xnom.dat"));
        QCOMPARE(cfg.Stages[0].Q, 1.0f);
        QCOMPARE(cfg.Stages[1].Q, 0.5f);
        QCOMPARE(cfg.g5, 8.5f);
        QCOMPARE(cfg.h5, 11.5f);
        // Records unchanged by commands go back as they came.
        QCOMPARE(cfg.Stages[0].LimStressResonance, 12.345f);
        QCOMPARE(cfg.Stages[0].CfStill, 0.004f);
    }

    void bandagSetReadsRegionalFormat_data()
    {
        QTest::addColumn<char>("separator");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<float>("f1");
        QTest::newRow("comma regional, comma") << ',' << "4,5" << true << 4.5f;
        QTest::newRow("comma regional, point") << ',' << "4.5" << true << 4.5f;
        QTest::newRow("point regional, point") << '.' << "4.5" << true << 4.5f;
        QTest::newRow("point regional, comma") << '.' << "4,5" << false << 3.75f;
        QTest::newRow("letters") << ',' << "4,5x" << false << 3.75f;
        QTest::newRow("empty") << ',' << "" << false << 3.75f;
    }
    void bandagSetReadsRegionalFormat()
    {
        QFETCH(char, separator);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QFETCH(float, f1);
        TCfgDfm cfg = MakeCfg();
        RecordingMessageSink sink;
        TCfgBandagDlg dlg(nullptr, NumberFormat{separator}, &sink);
        dlg.ReadData(cfg);
        dlg.CbxStageChange(0);
        dlg.EdtLimStill->setText(separator == ',' ? QStringLiteral("7,25") : QStringLiteral("7.25"));
        dlg.Edtf1->setText(typed);
        QCOMPARE(dlg.BtnSetClick(), accepted);
        const TBandagRecord &r = dlg.Records().Items().front();
        QCOMPARE(r.f1, f1);
        // All five or none: a refused command leaves the still limit as well.
        QCOMPARE(r.LimStressStill, accepted ? 7.25f : 6.5f);
        // Editors left as shown keep the exact values behind the 2-decimal display.
        QCOMPARE(r.LimStressResonance, 12.345f);
        QCOMPARE(r.CfStill, 0.004f);
        QCOMPARE(sink.messages().size(), accepted ? 0u : 1u);
        if (!accepted)
            QVERIFY(QString::fromStdString(sink.messages().front().text).contains(QStringLiteral("f1, мм")));
    }

    void bandagSetNamesTheRefusedField_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("caption");
        QTest::newRow("still limit") << 0 << "Доп. cрыв.";
        QTest::newRow("resonance limit") << 1 << "Доп. рез.";
        QTest::newRow("g5") << 2 << "g5";
        QTest::newRow("h5") << 3 << "h5";
    }
    void bandagSetNamesTheRefusedField()
    {
        QFETCH(int, field);
        QFETCH(QString, caption);
        TCfgDfm cfg = MakeCfg();
        RecordingMessageSink sink;
        TCfgBandagDlg dlg(nullptr, kComma, &sink);
        dlg.ReadData(cfg);
        dlg.CbxStageChange(0);
        QLineEdit *edits[] = {dlg.EdtLimStill, dlg.EdtLimResonance, dlg.EdtCfStill, dlg.EdtCfResonance};
        edits[field]->setText(QStringLiteral("два"));
        dlg.Edtf1->setText(QStringLiteral("9"));
        QVERIFY(!dlg.BtnSetClick());
        QCOMPARE(sink.messages().size(), 1u);
        const QString text = QString::fromStdString(sink.messages().front().text);
        QVERIFY2(text.contains(caption) && text.contains(QStringLiteral("два")), qPrintable(text));
        QCOMPARE(dlg.Records().Items().front().f1, 3.75f);
    }

    void bandagAddRefusesNonOrders_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("letters") << "abc";
        QTest::newRow("negative") << "-1";
        QTest::newRow("too large") << "65536";
        QTest::newRow("fraction") << "2.5";
        QTest::newRow("empty") << "";
    }
    void bandagAddRefusesNonOrders()
    {
        QFETCH(QString, typed);
        TCfgDfm cfg = MakeCfg();
        RecordingMessageSink sink;
        TCfgBandagDlg dlg(nullptr, kPoint, &sink);
        dlg.ReadData(cfg);
        dlg.EdtHarm->setText(typed);
        QVERIFY(!dlg.BtnAddClick());
        QCOMPARE(dlg.Records().Items().front().CountHarm, 3);
        QCOMPARE(dlg.LstHarm->topLevelItemCount(), 3);
        QCOMPARE(sink.messages().size(), 1u);
        QVERIFY(QString::fromStdString(sink.messages().front().text).contains(QStringLiteral("Гармоника")));
    }

    void bandagAddUpTo32Harmonics()
    {
        TCfgDfm cfg = MakeCfg();
        RecordingMessageSink sink;
        TCfgBandagDlg dlg(nullptr, kPoint, &sink);
        dlg.SetCfgDfm(cfg);
        dlg.ReadData(cfg);
        dlg.EdtHarm->setText(QStringLiteral(" 65535 "));
        while (dlg.Records().Items().front().CountHarm < 32)
            QVERIFY(dlg.BtnAddClick());
        QCOMPARE(dlg.LstHarm->topLevelItem(31)->text(0), QStringLiteral("32"));
        QCOMPARE(dlg.LstHarm->topLevelItem(31)->text(1), QStringLiteral("65535"));
        QVERIFY(sink.messages().empty());

        QVERIFY(!dlg.BtnAddClick());
        QCOMPARE(sink.messages().size(), 1u);
        QCOMPARE(dlg.LstHarm->topLevelItemCount(), 32);

        // "Удалить" without a selected harmonic does nothing.
        dlg.LstHarm->clearSelection();
        QVERIFY(!dlg.BtnDeleteClick());
        QCOMPARE(dlg.Records().Items().front().CountHarm, 32);
        dlg.accept();
        QCOMPARE(cfg.Stages[0].CountHarm, 32);
        QCOMPARE(cfg.Stages[0].OrderHarm[31], 65535);
        QCOMPARE(sink.messages().size(), 1u);
    }

    void freeAnglesGoIntoFreeStagesOnly()
    {
        TCfgDfm cfg = MakeCfg();
        const Snapshot before = Snap(cfg);
        RecordingMessageSink sink;
        TCfgFreeDlg dlg(nullptr, kComma, &sink);
        dlg.SetCfgDfm(cfg);
        dlg.ReadData(cfg);
        QCOMPARE(dlg.CbxStage->count(), 2);
        QCOMPARE(dlg.CbxStage->itemText(1), QStringLiteral("Свободная B"));
        // The last free stage's angles in "." format; b1, b2 regional; all with 1 decimal.
        QCOMPARE(dlg.EdtBIn->text(), QStringLiteral("12.5"));
        QCOMPARE(dlg.EdtBOut->text(), QStringLiteral("22.5"));
        QCOMPARE(dlg.Edtb1->text(), QStringLiteral("0,1"));
        QCOMPARE(dlg.Edtb2->text(), QStringLiteral("0,2"));
        QCOMPARE(dlg.EdtNmSnomFree->text(), QStringLiteral("/data/snomfree.dat"));

        dlg.CbxStageChange(0);
        dlg.EdtBIn->setText(QStringLiteral("40.5"));
        dlg.EdtBOut->setText(QStringLiteral("50,5")); // not a number in "." format
        dlg.Edtb2->setText(QStringLiteral("0,25"));
        dlg.accept();
        QVERIFY(sink.messages().empty());

        for (std::size_t s : {1u, 2u}) {
            QCOMPARE(cfg.Stages[s].BIn, 40.5f);
            QCOMPARE(cfg.Stages[s].BOut, 0.0f);
        }
        Snapshot expected = before;
        for (std::size_t s : {1u, 2u})
            expected.stages[s].BIn = 40.5f, expected.stages[s].BOut = 0.0f;
        expected.constants[12] = 0.25f; // b2; b1 left as shown keeps 0.05
        QCOMPARE(Snap(cfg), expected);
    }

    void editorsWithoutStagesOfTheirKind()
    {
        TCfgDfm cfg = MakeCfg();
        cfg.CountStage = 1; // only the shrouded stage
        RecordingMessageSink sink;
        TCfgFreeDlg free(nullptr, kPoint, &sink);
        free.SetCfgDfm(cfg);
        free.ReadData(cfg);
        QCOMPARE(free.CbxStage->count(), 0);
        QVERIFY(free.EdtBIn->text().isEmpty());
        free.accept();
        QCOMPARE(cfg.Stages[0].BIn, 10.5f);
        QCOMPARE(cfg.Stages[1].BIn, 11.5f);

        for (TStage &s : cfg.Stages)
            s.TypeStage = TTypeStage::tsFree;
        const Snapshot before = Snap(cfg);
        TCfgBandagDlg bandag(nullptr, kPoint, &sink);
        bandag.ReadData(cfg);
        QCOMPARE(bandag.CbxStage->count(), 0);
        bandag.EdtHarm->setText(QStringLiteral("3"));
        QVERIFY(!bandag.BtnAddClick());
        QVERIFY(!bandag.BtnSetClick());
        QVERIFY(!bandag.BtnDeleteClick());
        bandag.WriteData(cfg);
        Snapshot expected = before;
        expected.stages[0].Q = 1.0f;
        QCOMPARE(Snap(cfg), expected);
        QVERIFY(sink.messages().empty());
    }

    void cancelLeavesConfigurationUnchanged()
    {
        TCfgDfm cfg = MakeCfg();
        const Snapshot before = Snap(cfg);
        RecordingMessageSink sink;

        TCfgBandagDlg bandag(nullptr, kComma, &sink);
        bandag.SetCfgDfm(cfg);
        bandag.ReadData(cfg);
        SelectHarmonic(bandag.LstHarm, 0);
        QVERIFY(bandag.BtnDeleteClick());
        bandag.EdtHarm->setText(QStringLiteral("11"));
        QVERIFY(bandag.BtnAddClick());
        bandag.Edtf1->setText(QStringLiteral("8,5"));
        QVERIFY(bandag.BtnSetClick());
        bandag.EdtConst[3]->setText(QStringLiteral("99"));
        bandag.EdtNmPopravk->clear();
        bandag.reject();
        QVERIFY(bandag.Records().Items().empty());

        TCfgFreeDlg free(nullptr, kComma, &sink);
        free.SetCfgDfm(cfg);
        free.ReadData(cfg);
        free.EdtBIn->setText(QStringLiteral("1.5"));
        free.Edtb1->setText(QStringLiteral("3"));
        free.EdtNmSnomFree->clear();
        free.reject();
        QVERIFY(free.Records().Items().empty());

        QCOMPARE(Snap(cfg), before);
        QVERIFY(sink.messages().empty());
    }
};

QTEST_MAIN(CfgStageTest)
#include "test_app_cfg_stage.moc"
