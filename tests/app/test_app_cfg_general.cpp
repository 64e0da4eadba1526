// The general configuration dialog, driven through its commands offscreen:
// numbering, protections, limits, the exchange with TCfgDfm, files.
#include "base/message_sink.hpp"
#include "cfg_general/cfg_general_dlg.hpp"
#include "cfg_general/numbering.hpp"
#include "cfg_general/picture_exchange.hpp"
#include "cfg_stage/cfg_free_dlg.hpp"
#include "config/cfg_rec_blade.hpp"
#include "recording/angle_gates.hpp"
#include "recording/recording_image.hpp"
#include "windows/timing_mess_form.hpp"
#include "windows/timing_notice_sink.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace vibrolan;
using namespace vibrolan::app;

namespace {

QStringList numbers(std::initializer_list<int> v)
{
    QStringList out;
    for (int n : v)
        out << QString::number(n);
    return out;
}

QStringList range(int from, int to)
{
    QStringList out;
    for (int n = from; n <= to; ++n)
        out << QString::number(n);
    return out;
}

void writeBytes(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// One dialog on an application configuration with its defaults; file
// dialogs are answered from `answers`, message boxes recorded.
struct Harness {
    TCfgDfm cfg;
    QString cfgName;
    TAngleGates gates;
    RecordingMessageSink messages{Answer::Yes};
    RecordingMessageSink notices;
    QStringList answers;
    QList<FileRequest> requests;
    int beeps = 0;
    std::unique_ptr<TCfgGeneralDlg> dlg;

    explicit Harness(const QString &programDir = {}, const std::function<void(TCfgDfm &)> &prepare = {})
    {
        cfg.InitDefault();
        if (prepare)
            prepare(cfg);
        CfgGeneralEnv env;
        env.messages = &messages;
        env.notices = &notices;
        env.chooseFile = [this](const FileRequest &r) {
            requests << r;
            return answers.isEmpty() ? QStringList{} : QStringList{answers.takeFirst()};
        };
        env.beep = [this] { ++beeps; };
        env.programDir = programDir;
        dlg = std::make_unique<TCfgGeneralDlg>(cfg, nullptr, cfgName, gates, env);
    }
    QTreeWidgetItem *stage(int r) const { return dlg->LVStages->topLevelItem(r); }
    QTreeWidgetItem *sensor(int r) const { return dlg->LVSensors->topLevelItem(r); }
    QStringList numbering(int pair) const
    {
        return dlg->LVPairs->topLevelItem(pair)->data(0, Qt::UserRole).toStringList();
    }
    bool told(const std::string &caption, const std::string &text = {}) const
    {
        for (const Message &m : messages.messages())
            if (m.caption == caption && (text.empty() || m.text.find(text) != std::string::npos))
                return true;
        return false;
    }
    void addPair(const QString &name, const QString &fi)
    {
        dlg->EdNmPair->setText(name);
        dlg->CbxStageOfPair->setCurrentIndex(0);
        dlg->EdSkip->setText(QStringLiteral("0"));
        dlg->EdBase->setText(QStringLiteral("50"));
        dlg->EdTachoShift->setText(QStringLiteral("0"));
        dlg->EdFi->setText(fi);
        dlg->BtnAddPairClick();
    }
    void saveAs(const QString &name)
    {
        answers << name;
        dlg->BtnSaveAsClick();
    }
    void open(const QString &name)
    {
        answers << name;
        dlg->BtnOpenClick();
    }
};

constexpr int col(int pictureColumn) { return pictureColumn + 1; }

} // namespace

class CfgGeneralTest : public QObject {
    Q_OBJECT
private slots:
    void numberingByAngle_data()
    {
        QTest::addColumn<int>("blades");
        QTest::addColumn<double>("fi");
        QTest::addColumn<bool>("reverse");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("90 direct") << 20 << 90.0 << false << range(16, 20) + range(1, 15);
        QTest::newRow("90 reverse") << 20 << 90.0 << true
                                    << numbers({6, 5, 4, 3, 2, 1}) +
                                           numbers({20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7});
        QTest::newRow("0 direct") << 5 << 0.0 << false << range(1, 5);
        QTest::newRow("0 reverse") << 5 << 0.0 << true << numbers({1, 5, 4, 3, 2});
        QTest::newRow("negative angle") << 4 << -90.0 << false << numbers({2, 3, 4, 1});
        QTest::newRow("beyond a turn") << 4 << 450.0 << false << numbers({4, 1, 2, 3});
        QTest::newRow("no blades") << 0 << 90.0 << false << QStringList{};
    }
    void numberingByAngle()
    {
        QFETCH(int, blades);
        QFETCH(double, fi);
        QFETCH(bool, reverse);
        QFETCH(QStringList, expected);
        QCOMPARE(NumberingByAngle(blades, fi, reverse), expected);
    }

    void firstBladeRotation()
    {
        Harness h;
        h.dlg->EdFirstBlade->setText(QStringLiteral("7"));
        h.dlg->EdFirstBladeEnter();
        QCOMPARE(h.numbering(0), range(7, 20) + range(1, 6));
        QCOMPARE(h.dlg->LVNumbering->topLevelItem(0)->text(1), QStringLiteral("7"));
        // A blade that is not in the list changes nothing.
        h.dlg->EdFirstBlade->setText(QStringLiteral("21"));
        h.dlg->EdFirstBladeEnter();
        QCOMPARE(h.numbering(0), range(7, 20) + range(1, 6));
        QCOMPARE(h.beeps, 1);
        h.dlg->BtnOkClick();
        QCOMPARE(h.cfg.Stages[0].Pairs[0].NumberBlade[0], 6);
        QCOMPARE(h.cfg.Stages[0].Pairs[0].Impuls[6], 0);
        QCOMPARE(h.cfg.Stages[0].Pairs[0].Impuls[0], 14);
    }

    void reverseNumberingSurvivesOkSaveAndReopen()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("rev.lfm"));
        {
            Harness h;
            h.dlg->SelectStage(0);
            h.dlg->CbxOrder->setCurrentText(QStringLiteral("Обратная"));
            h.dlg->BtnChangeStageClick();
            h.addPair(QStringLiteral("P90"), QStringLiteral("90"));
            QCOMPARE(h.numbering(1), numbers({6, 5, 4, 3, 2, 1}) +
                                         numbers({20, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 9, 8, 7}));
            h.dlg->BtnOkClick();
            QCOMPARE(h.dlg->result(), int(QDialog::Accepted));
            QVERIFY(h.cfg.Stages[0].OrderBlade);
            QCOMPARE(h.cfg.Stages[0].CountPairs, 2);
            const TPair &p = h.cfg.Stages[0].Pairs[1];
            QCOMPARE(p.NumberBlade[0], 5);
            QCOMPARE(p.NumberBlade[6], 19);
            QCOMPARE(p.Impuls[19], 6);
            h.saveAs(dir.filePath(QStringLiteral("rev"))); // the default extension is added
            QCOMPARE(h.requests.last().defaultSuffix, QStringLiteral("lfm"));
            QCOMPARE(h.requests.last().filter, QStringLiteral("Конфигурация (.lfm)|*.LFM"));
            QCOMPARE(h.dlg->windowTitle(), QStringLiteral("Настройка - ") + file);
            QVERIFY(h.cfgName.isEmpty()); // "Сохранить как" keeps the current name
        }
        Harness h;
        h.open(file);
        QCOMPARE(h.cfgName, file);
        QCOMPARE(h.dlg->windowTitle(), QStringLiteral("Настройка - ") + file);
        QCOMPARE(h.stage(0)->text(col(scOrder)), QStringLiteral("Обратная"));
        QCOMPARE(h.numbering(1).mid(0, 7), numbers({6, 5, 4, 3, 2, 1, 20}));
        QVERIFY(!h.cfg.Stages[0].OrderBlade); // untouched until OK
        h.dlg->BtnOkClick();
        QVERIFY(h.cfg.Stages[0].OrderBlade);
    }

    void sensorProtection()
    {
        Harness h;
        // "O" is stage 0's tacho sensor: first blade forced to 1, no editing, no deleting.
        h.sensor(2)->setText(col(ncFirst), QStringLiteral("5"));
        h.dlg->LVSensors->setCurrentItem(h.sensor(2));
        QCOMPARE(h.sensor(2)->text(col(ncFirst)), QStringLiteral("1"));
        QVERIFY(!h.dlg->BtnChangeSensor->isEnabled());
        QVERIFY(!h.dlg->BtnDelSensor->isEnabled());
        h.dlg->EdNmSensor->setText(QStringLiteral("O2"));
        h.dlg->BtnChangeSensorClick();
        h.dlg->BtnDelSensorClick();
        QCOMPARE(h.dlg->LVSensors->topLevelItemCount(), 3);
        QCOMPARE(h.sensor(2)->text(0), QStringLiteral("O"));
        // "K" is a pair's root on a stage of 20 blades: first blade at most 20.
        h.sensor(0)->setText(col(ncFirst), QStringLiteral("30"));
        h.dlg->SelectSensor(0);
        QCOMPARE(h.sensor(0)->text(col(ncFirst)), QStringLiteral("20"));
        QVERIFY(!h.dlg->BtnDelSensor->isEnabled());
        // A sensor nobody refers to can be changed and deleted.
        h.dlg->EdNmSensor->setText(QStringLiteral("X"));
        h.dlg->CbxTypeSensor->setCurrentIndex(0);
        h.dlg->EdFirstBld->setText(QStringLiteral("3"));
        h.dlg->BtnAddSensorClick();
        QCOMPARE(h.dlg->LVSensors->topLevelItemCount(), 4);
        QVERIFY(h.dlg->BtnDelSensor->isEnabled());
        h.dlg->BtnDelSensorClick();
        QCOMPARE(h.dlg->LVSensors->topLevelItemCount(), 3);
    }

    void choiceListsFollowSensorKinds()
    {
        Harness h;
        auto items = [](QComboBox *box) {
            QStringList out;
            for (int i = 0; i < box->count(); ++i)
                out << box->itemText(i);
            return out;
        };
        QCOMPARE(h.dlg->LblUTS->text(), QStringLiteral("ОТСУТСТВУЕТ"));
        auto add = [&](const QString &name, TTypeSensor kind) {
            h.dlg->EdNmSensor->setText(name);
            h.dlg->CbxTypeSensor->setCurrentIndex(static_cast<int>(kind));
            h.dlg->EdFirstBld->setText(QStringLiteral("1"));
            h.dlg->BtnAddSensorClick();
        };
        add(QStringLiteral("E"), TTypeSensor::srInEdge);
        add(QStringLiteral("C"), TTypeSensor::srPeak_cap);
        add(QStringLiteral("T"), TTypeSensor::srIRIG_B);
        add(QString(), TTypeSensor::srRoot); // an empty name is ignored
        QCOMPARE(h.dlg->LVSensors->topLevelItemCount(), 6);
        QCOMPARE(items(h.dlg->CbxRoot), QStringList({"K", "O", "E"}));
        QCOMPARE(items(h.dlg->CbxPeak), QStringList({"P", "E", "C"}));
        QCOMPARE(items(h.dlg->CbxTacho), QStringList({"O"}));
        QCOMPARE(h.dlg->LblUTS->text(), QStringLiteral("T"));
        h.dlg->BtnDelSensorClick(); // "T" is selected
        QCOMPARE(h.dlg->LblUTS->text(), QStringLiteral("ОТСУТСТВУЕТ"));
    }

    void stageColumnsWritten_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("sensNumber");
        QTest::addColumn<int>("divisor");
        QTest::addColumn<double>("bottom");
        QTest::addColumn<double>("deltaTop");
        QTest::newRow("unknown tacho name") << int(scTacho) << "нет такого" << 231 << 0 << 1800.0 << 0.01;
        QTest::newRow("sign.") << int(scDivisor) << "sign." << 2 << 254 << 1800.0 << 0.01;
        QTest::newRow("divisor 3") << int(scDivisor) << "3" << 2 << 2 << 1800.0 << 0.01;
        QTest::newRow("resonance from 0") << int(scResonance) << "0÷0.1" << 2 << 0 << 0.0 << 0.0;
        QTest::newRow("resonance below 0") << int(scResonance) << "-5÷3" << 2 << 0 << -5.0 << -5.0;
        QTest::newRow("resonance band") << int(scResonance) << "1000÷1100" << 2 << 0 << 1000.0 << 0.1;
    }
    void stageColumnsWritten()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(int, sensNumber);
        QFETCH(int, divisor);
        QFETCH(double, bottom);
        QFETCH(double, deltaTop);
        Harness h;
        h.stage(0)->setText(col(column), text);
        QVERIFY(h.dlg->CfgWrite(h.cfg));
        const TStage &st = h.cfg.Stages[0];
        QCOMPARE(int(st.TachoComb.sensNumber), sensNumber);
        QCOMPARE(int(st.TachoComb.divisor), divisor);
        QCOMPARE(st.FResonance.Bottom, bottom);
        QVERIFY(std::abs(st.FResonance.DeltaTop - deltaTop) < 1e-9);
    }

    void stageChangeAndNumbering()
    {
        Harness h;
        h.dlg->EdFirstBlade->setText(QStringLiteral("7"));
        h.dlg->EdFirstBladeEnter();
        // A change that keeps name and blade count keeps the numbering.
        h.dlg->SelectStage(0);
        h.dlg->EdDiametr->setText(QStringLiteral("900"));
        h.dlg->BtnChangeStageClick();
        QCOMPARE(h.numbering(0).first(), QStringLiteral("7"));
        QVERIFY(!h.dlg->BtnDelStage->isEnabled()); // the stage has a pair
        // Renaming moves the pair and resets its numbering to 1 ... N.
        h.dlg->EdNmStage->setText(QStringLiteral("Ступень А"));
        h.dlg->EdCountBlade->setText(QStringLiteral("12"));
        h.dlg->BtnChangeStageClick();
        QCOMPARE(h.dlg->LVPairs->topLevelItem(0)->text(col(pcStage)), QStringLiteral("Ступень А"));
        QCOMPARE(h.numbering(0), range(1, 12));
        QCOMPARE(h.dlg->CbxStageOfPair->itemText(0), QStringLiteral("Ступень А"));
        h.dlg->BtnOkClick();
        QCOMPARE(h.cfg.Stages[0].NameStage, std::string("Ступень А"));
        QCOMPARE(h.cfg.Stages[0].CountPairs, 1);
        QCOMPARE(h.cfg.Stages[0].Pairs[0].NumberBlade[11], 11);
        // Without pairs the stage can be deleted.
        h.dlg->LVPairs->setCurrentItem(h.dlg->LVPairs->topLevelItem(0));
        h.dlg->BtnDelPairClick();
        h.dlg->SelectStage(0);
        QVERIFY(h.dlg->BtnDelStage->isEnabled());
        h.dlg->BtnDelStageClick();
        QCOMPARE(h.dlg->LVStages->topLevelItemCount(), 0);
    }

    void limits()
    {
        Harness h;
        h.dlg->SelectStage(0);
        for (int s = 2; s <= 6; ++s) {
            h.dlg->EdNmStage->setText(QStringLiteral("S%1").arg(s));
            h.dlg->BtnAddStageClick();
        }
        QCOMPARE(h.dlg->LVStages->topLevelItemCount(), 5);
        QVERIFY(h.told("достигнут предел", "уже имеется 5 ступеней"));

        h.messages.clear();
        for (int k = 2; k <= 17; ++k)
            h.addPair(QStringLiteral("P%1").arg(k), QStringLiteral("0"));
        QCOMPARE(h.dlg->LVPairs->topLevelItemCount(), 16);
        QCOMPARE(h.messages.messages().size(), std::size_t{1});
        QCOMPARE(h.messages.messages()[0].text, std::string("уже имеется 16 пар  "));

        h.messages.clear();
        h.dlg->CbxTypeSensor->setCurrentIndex(1);
        h.dlg->EdFirstBld->setText(QStringLiteral("1"));
        for (int k = 4; k <= 97; ++k) {
            h.dlg->EdNmSensor->setText(QStringLiteral("D%1").arg(k));
            h.dlg->BtnAddSensorClick();
        }
        QCOMPARE(h.dlg->LVSensors->topLevelItemCount(), 96);
        QCOMPARE(h.messages.messages().size(), std::size_t{1});
        QCOMPARE(h.messages.messages()[0].text, std::string("уже имеется 96 отметчиков"));
        QVERIFY(h.dlg->CfgWrite(h.cfg));
        QCOMPARE(h.cfg.CountSensors, 96);
        QCOMPARE(h.cfg.CountStage, 5);
    }

    // A wrong entry is refused as a whole: a message names row and column,
    // the configuration keeps every byte, OK leaves the dialog open.
    void wrongEntriesLeaveConfigurationUnchanged_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named");
        QTest::newRow("blade count not integer") << "stage" << int(scBlades) << "2a/0"
                                                 << "Лопатки";
        QTest::newRow("blade count 256") << "stage" << int(scBlades) << "256/0"
                                         << "Лопатки";
        QTest::newRow("calibration count") << "stage" << int(scBlades) << "20/1.5"
                                           << "Лопатки";
        QTest::newRow("no slash") << "stage" << int(scBlades) << "20"
                                  << "Лопатки";
        QTest::newRow("divisor") << "stage" << int(scDivisor) << "2.5"
                                 << "делит.тахо";
        QTest::newRow("resonance") << "stage" << int(scResonance) << "abc"
                                   << "Резонанс";
        QTest::newRow("skip") << "pair" << int(pcSkip) << "x"
                              << "Пропустить лопаток";
        QTest::newRow("angle") << "pair" << int(pcFi) << "девяносто"
                               << "Угол,град";
        QTest::newRow("first blade") << "sensor" << int(ncFirst) << ""
                                     << "Нач.Лопатка";
        QTest::newRow("sensor kind") << "sensor" << int(ncType) << ""
                                     << "Тип";
    }
    void wrongEntriesLeaveConfigurationUnchanged()
    {
        QFETCH(QString, list);
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, named);
        Harness h;
        h.dlg->EdDN->setText(QStringLiteral("0")); // would also change dN if anything were written
        QTreeWidget *lv = list == "stage"  ? h.dlg->LVStages
                          : list == "pair" ? h.dlg->LVPairs
                                           : h.dlg->LVSensors;
        lv->topLevelItem(0)->setText(col(column), text);
        const std::vector<std::uint8_t> before = h.cfg.SaveToBytes();
        h.dlg->BtnOkClick();
        QVERIFY(h.dlg->result() != QDialog::Accepted);
        QCOMPARE(h.cfg.SaveToBytes(), before);
        QCOMPARE(h.cfg.dN, 0.0);
        QCOMPARE(h.messages.messages().size(), std::size_t{1});
        const QString shown = QString::fromStdString(h.messages.messages()[0].text);
        QVERIFY2(shown.contains(QStringLiteral("«") + named + QStringLiteral("»")), qPrintable(shown));
        QVERIFY2(shown.contains(lv->topLevelItem(0)->text(0)), qPrintable(shown));
    }

    void editorsRefuseWrongRows()
    {
        Harness h;
        h.dlg->SelectStage(0);
        h.dlg->EdNmStage->setText(QStringLiteral("S2"));
        h.dlg->EdCountBlade->setText(QStringLiteral("20.5"));
        h.dlg->BtnAddStageClick();
        QCOMPARE(h.dlg->LVStages->topLevelItemCount(), 1);
        QVERIFY(h.told("Ошибка в настройке", "Лопатки"));
        // Documented defaults stand for other texts: diameter 1000, coefficient 1, calibre 77.
        h.dlg->EdCountBlade->setText(QStringLiteral("30"));
        h.dlg->EdDiametr->setText(QStringLiteral("?"));
        h.dlg->EdKfSigma->setText(QString());
        h.dlg->EdCalibr->setText(QStringLiteral("-"));
        h.dlg->BtnAddStageClick();
        QCOMPARE(h.dlg->LVStages->topLevelItemCount(), 2);
        h.messages.clear();
        h.dlg->BtnAddStageClick(); // the same name again
        QCOMPARE(h.dlg->LVStages->topLevelItemCount(), 2);
        QVERIFY(h.told("Повтор имени"));
        h.addPair(QStringLiteral("P2"), QStringLiteral("abc"));
        QCOMPARE(h.dlg->LVPairs->topLevelItemCount(), 1);
        QVERIFY(h.dlg->CfgWrite(h.cfg));
        QCOMPARE(h.cfg.Stages[1].Diametr, 1000.0);
        QCOMPARE(h.cfg.Stages[1].KfSigma, 1.0f);
        QCOMPARE(h.cfg.Stages[1].CalibrLength, 77.0f);
        QCOMPARE(h.cfg.Stages[1].CountBlade, 30);
    }

    void pairMovedToAnotherStageGetsItsNumbering()
    {
        Harness h;
        h.dlg->SelectStage(0);
        h.dlg->EdNmStage->setText(QStringLiteral("S12"));
        h.dlg->EdCountBlade->setText(QStringLiteral("12"));
        h.dlg->CbxOrder->setCurrentIndex(1);
        h.dlg->BtnAddStageClick();
        h.dlg->SelectPair(0);
        h.dlg->EdFi->setText(QStringLiteral("90"));
        h.dlg->CbxStageOfPair->setCurrentText(QStringLiteral("S12"));
        h.dlg->BtnChangePairClick();
        QCOMPARE(h.numbering(0), numbers({4, 3, 2, 1, 12, 11, 10, 9, 8, 7, 6, 5}));
        h.dlg->BtnOkClick();
        QCOMPARE(h.cfg.Stages[0].CountPairs, 0);
        QCOMPARE(h.cfg.Stages[1].CountPairs, 1);
        QCOMPARE(h.cfg.Stages[1].Pairs[0].NumberBlade[4], 11);
    }

    // The application's configuration may have no stages or sensors while the
    // picture has them: what is saved comes from the picture.
    void savedFromThePictureWhateverTheApplicationHolds()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("a.lfm"));
        const QString second = dir.filePath(QStringLiteral("b.lfm"));
        {
            Harness h;
            h.dlg->SelectStage(0);
            h.dlg->EdNmStage->setText(QStringLiteral("S2"));
            h.dlg->BtnAddStageClick();
            h.cfg.Stages[1].CountHarm = 3; // the stage editors keep these in the application's configuration
            h.cfg.Stages[1].OrderHarm[2] = 9;
            h.saveAs(first);
        }
        Harness h({}, [](TCfgDfm &c) {
            c.CountStage = 0;
            c.CountSensors = 0;
        });
        h.open(first);
        QCOMPARE(h.cfg.Stages[1].CountHarm, 3); // copied although the application had no stage 1
        h.saveAs(second);
        TCfgDfm back;
        back.LoadFromFile(second.toStdString());
        QCOMPARE(back.CountStage, 2);
        QCOMPARE(back.Stages[0].CountPairs, 1);
        QCOMPARE(back.Stages[0].Pairs[0].Peak, 1);
        QCOMPARE(back.Stages[0].TachoComb.sensNumber, 2);
        QCOMPARE(back.Stages[1].CountHarm, 3);
        QCOMPARE(back.Stages[1].OrderHarm[2], 9);
    }

    void zeroIntervalOfMovingRun()
    {
        Harness h;
        h.dlg->EdDN->setText(QStringLiteral("0"));
        h.dlg->CbxMode->setCurrentIndex(0);
        QVERIFY(h.dlg->CfgWrite(h.cfg));
        QCOMPARE(h.cfg.dN, 10.0);
        QVERIFY(h.told("", "Интервал частот назначен по умолчанию"));
        h.dlg->EdDN->setText(QString());
        h.dlg->CbxMethod->setCurrentIndex(1);
        QVERIFY(h.dlg->CfgWrite(h.cfg));
        QCOMPARE(h.cfg.dN, 1000.0);
        QCOMPARE(h.dlg->LblInterval->text(), QStringLiteral("Интервал 1/2, тчк."));
    }

    void lookups()
    {
        Harness h;
        QCOMPARE(h.dlg->GetSensorByName(QStringLiteral("P")), 1);
        QCOMPARE(h.dlg->GetSensorByName(QStringLiteral("p")), 999);
        QCOMPARE(h.dlg->GetIndexByName(QStringLiteral("Pair№1")), 0);
        QCOMPARE(h.dlg->GetIndexByName(QStringLiteral("x")), 999);
        QStringList rows;
        QCOMPARE(h.dlg->GetCountPairs(QStringLiteral("St№1"), rows), 1);
        QCOMPARE(rows, QStringList{QStringLiteral("0")});
        QCOMPARE(h.dlg->PointorComma(QStringLiteral("1,5")), QStringLiteral("1.5"));
        QCOMPARE(h.dlg->PointorComma(QStringLiteral("1.5,2")), QStringLiteral("1.5,2"));
    }

    // Save and reopen keep the shrouded constants; opening reads the
    // correction files of the program's folder and tells what it read.
    void shroudedConstantsAndCorrectionNotice()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("band.lfm"));
        writeBytes(dir.filePath(QStringLiteral("popravk.dat")), "10 20 30\n1 0.5 0.6 0.7\n1 0.8 0.9 1.0\n");
        {
            Harness h;
            float v = 1.25f;
            for (float *f : {&h.cfg.f2, &h.cfg.f3, &h.cfg.f4, &h.cfg.g1, &h.cfg.g2, &h.cfg.g3, &h.cfg.g4,
                             &h.cfg.g5, &h.cfg.h1, &h.cfg.h4, &h.cfg.h5})
                *f = (v += 1.0f);
            h.cfg.Stages[0].CountHarm = 2;
            h.cfg.Stages[0].OrderHarm[1] = 7;
            h.cfg.Stages[0].f1 = 3.5f;
            h.saveAs(file);
            QVERIFY(QFileInfo(file).isFile());
        }
        Harness h(dir.path());
        h.open(file);
        QCOMPARE(h.requests.last().filter, QStringLiteral("Настройка(.lfm)|*.LFM|Импорт из(.rbd)|*.rbd"));
        QCOMPARE(h.cfg.f2, 2.25f);
        QCOMPARE(h.cfg.g5, 9.25f);
        QCOMPARE(h.cfg.h5, 12.25f);
        QCOMPARE(h.cfg.Stages[0].CountHarm, 2);
        QCOMPARE(h.cfg.Stages[0].OrderHarm[1], 7);
        QCOMPARE(h.cfg.Stages[0].f1, 3.5f);
        const std::string popravk = dir.filePath(QStringLiteral("popravk.dat")).toStdString();
        QVERIFY(h.told("считаны поправки ", "3 x 1 файл " + popravk));
        QVERIFY(
            h.told("Предупреждение", "нет файла " + dir.filePath(QStringLiteral("Snom.dat")).toStdString()));
        QVERIFY(
            h.told("Предупреждение", "нет файла " + dir.filePath(QStringLiteral("Xnom.dat")).toStdString()));
        // Saving the reopened file again keeps them too.
        h.cfg.f2 = 0;
        h.dlg->BtnSaveClick();
        TCfgDfm back;
        back.LoadFromFile(file.toStdString());
        QCOMPARE(back.f2, 0.0f);
        QCOMPARE(back.h5, 12.25f);
    }

    void channelCheck_data()
    {
        QTest::addColumn<bool>("withHeader");
        QTest::addColumn<QList<int>>("channels"); // one-based
        QTest::addColumn<QStringList>("appended");
        QTest::newRow("header, all known") << true << QList<int>{3, 5} << QStringList{};
        QTest::newRow("header, 30 missing")
            << true << QList<int>{3, 30, 31} << QStringList{ChannelText(30), ChannelText(31)};
        QTest::newRow("records, 27 missing")
            << false << QList<int>{2, 5, 27, 2} << QStringList{ChannelText(27)};
    }
    void channelCheck()
    {
        QFETCH(bool, withHeader);
        QFETCH(QList<int>, channels);
        QFETCH(QStringList, appended);
        QTemporaryDir dir;
        const QString rec = dir.filePath(QStringLiteral("run.bld"));
        std::vector<TIndex> records;
        for (int ch : channels) {
            TIndex r;
            r.WCh(static_cast<std::uint8_t>(ch - 1));
            r.Ticks = 1000u * static_cast<std::uint32_t>(records.size() + 1);
            records.push_back(r);
        }
        if (withHeader) {
            RecordingHeader head;
            head.hasSignature = true;
            head.RecorderCode = 666;
            for (int ch : channels)
                head.channels.push_back(ChannelDescriptor{static_cast<std::uint16_t>(ch), 0, "D", 0});
            writeRecordingFile(rec.toStdString(), head, records);
        } else {
            QByteArray bytes(static_cast<qsizetype>(records.size() * 6), '\0');
            for (std::size_t i = 0; i < records.size(); ++i)
                storeRecord(reinterpret_cast<std::uint8_t *>(bytes.data()) + 6 * i, records[i]);
            writeBytes(rec, bytes);
        }
        Harness h({}, [&](TCfgDfm &c) { c.FileName = rec.toStdString(); });
        QStringList offered;
        for (int i = 0; i < h.dlg->CbxNmChan->count(); ++i)
            offered << h.dlg->CbxNmChan->itemText(i);
        QCOMPARE(offered.mid(0, 26),
                 range(1, 26).replaceInStrings(QRegularExpression("^"), QStringLiteral("Канал - ")));
        QCOMPARE(offered.mid(26), appended);
        QCOMPARE(h.told("несоответствие каналов", "каналы,упомянутые в конфигурации отсутствуют в Файле"),
                 !appended.isEmpty());
        QCOMPARE(h.dlg->EdSource->text(), rec);
        QCOMPARE(h.cfg.NmSource, rec.toStdString());
    }

    void missingRecordingQuestion()
    {
        // Not asked unless the owner allows it.
        Harness quiet({}, [](TCfgDfm &c) { c.FileName = "/nonexistent/x.bld"; });
        QVERIFY(!quiet.told("Файл данных не найден"));
        // Asked when allowed; Yes leads to the file choice.
        QTemporaryDir dir;
        const QString rec = dir.filePath(QStringLiteral("found.bld"));
        writeBytes(rec, QByteArray(60, '\0'));
        TCfgDfm cfg;
        cfg.InitDefault();
        cfg.FileName = "/nonexistent/x.bld";
        RecordingMessageSink messages(Answer::Yes);
        QString name;
        TAngleGates gates;
        CfgGeneralEnv env;
        env.messages = &messages;
        env.chooseFile = [&](const FileRequest &) { return QStringList{rec}; };
        env.mayAskForRecording = [] { return true; };
        TCfgGeneralDlg dlg(cfg, nullptr, name, gates, env);
        QVERIFY(!messages.messages().empty());
        QCOMPARE(messages.messages()[0].caption, std::string("Файл данных не найден"));
        QCOMPARE(messages.messages()[0].text, std::string("Искать файл?"));
        QCOMPARE(cfg.FileName, rec.toStdString());
        QCOMPARE(dlg.EdSource->text(), rec);
    }

    void importFromRecorder()
    {
        QTemporaryDir dir;
        const QString rbd = dir.filePath(QStringLiteral("setup.rbd"));
        {
            NullMessageSink none;
            TCfgRecBlade rec(none);
            rec.InitDefault();
            rec.SaveToFile(rbd.toStdString(), none);
        }
        Harness h;
        h.open(rbd);
        QCOMPARE(h.cfgName, dir.filePath(QStringLiteral("setup.lfm")));
        QCOMPARE(h.dlg->windowTitle(), QStringLiteral("Настройка - ") + h.cfgName);
        QCOMPARE(h.dlg->LVStages->topLevelItemCount(), 2);
        QCOMPARE(h.stage(1)->text(0), QStringLiteral("2-nd_stage"));
        QCOMPARE(h.dlg->LVSensors->topLevelItemCount(), 16);
        QCOMPARE(h.cfg.CountStage, 1); // the application's configuration waits for OK
        QCOMPARE(h.cfg.Stages[0].NameStage, std::string("St№1"));
    }

    void brokenFilesKeepThePicture_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("truncated lfm") << "cut.lfm" << QByteArray("\x04@DFM\x06", 6);
        QTest::newRow("foreign lfm") << "foreign.lfm" << QByteArray("hello world");
        QTest::newRow("truncated rbd") << "cut.rbd" << QByteArray("\x07@RECBLD", 8);
        QTest::newRow("missing file") << "" << QByteArray();
    }
    void brokenFilesKeepThePicture()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString file = dir.filePath(name.isEmpty() ? QStringLiteral("gone.lfm") : name);
        if (!name.isEmpty())
            writeBytes(file, bytes);
        Harness h;
        h.dlg->EdNmStage->setText(QStringLiteral("keep"));
        const CfgPicture before = h.dlg->Picture();
        h.open(file);
        QCOMPARE(h.messages.messages().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(h.messages.messages()[0].text).contains(file));
        const CfgPicture after = h.dlg->Picture();
        QVERIFY(after.stages == before.stages && after.sensors == before.sensors &&
                after.pairs == before.pairs);
        QVERIFY(after.extra == before.extra);
        QVERIFY(h.cfgName.isEmpty());
    }

    void gatesButton()
    {
        QTemporaryDir dir;
        const QString good = dir.filePath(QStringLiteral("g.gts"));
        {
            TAngleGates g;
            TAngleGate a;
            a.Chan = 3;
            a.lpillar = 0.2f;
            a.rpillar = 0.3f;
            g.AddGt(a);
            a.Chan = 5;
            g.AddGt(a);
            g.Gates2File(good.toStdString(), "run.bld", "x");
        }
        Harness h;
        h.answers << good;
        h.dlg->BtnGatesClick();
        QCOMPARE(h.requests.last().filter, QStringLiteral("Файлы ворот(*.gts)|*.gts"));
        QCOMPARE(h.cfg.NmGates, good.toStdString());
        QCOMPARE(h.dlg->EdGates->text(), good);
        QCOMPARE(h.dlg->LblGates->text(), QStringLiteral("В списке ворот 2 элем."));
        const QString bad = dir.filePath(QStringLiteral("bad.gts"));
        writeBytes(bad, QByteArray(10, 'z'));
        h.answers << bad;
        h.dlg->BtnGatesClick();
        QCOMPARE(h.messages.messages().size(), std::size_t{1});
        QCOMPARE(h.dlg->LblGates->text(), QStringLiteral("В списке ворот 0 элем."));
    }

    void fileButtons_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("filter");
        const QString recording = QStringLiteral("Файл записи вибрации лопаток(.BLD)|*.bld;*.BLD|"
                                                 "Сжатый файл записи вибрации лопаток(.BLDX)|*.bldx");
        QTest::newRow("source") << 0 << recording;
        QTest::newRow("target") << 1 << recording;
        QTest::newRow("journal") << 2 << QStringLiteral("Файл журнала (.TXT)|*.txt;*.TXT");
        QTest::newRow("archive") << 3 << QStringLiteral("Файлы архива (.BLD)|*.bld;*.BLD");
    }
    void fileButtons()
    {
        QFETCH(int, button);
        QFETCH(QString, filter);
        Harness h;
        const std::array<std::pair<void (TCfgGeneralDlg::*)(), QLineEdit *>, 4> buttons = {
            std::pair{&TCfgGeneralDlg::BtnSourceClick, h.dlg->EdSource},
            std::pair{&TCfgGeneralDlg::BtnTargetClick, h.dlg->EdTarget},
            std::pair{&TCfgGeneralDlg::BtnMessageClick, h.dlg->EdMessage},
            std::pair{&TCfgGeneralDlg::BtnHolderClick, h.dlg->EdHolder}};
        const auto [click, editor] = buttons[static_cast<std::size_t>(button)];
        h.answers << QStringLiteral("/data/chosen.name");
        (h.dlg.get()->*click)();
        QCOMPARE(h.requests.last().filter, filter);
        QCOMPARE(editor->text(), QStringLiteral("/data/chosen.name"));
        (h.dlg.get()->*click)(); // cancelled: the editor keeps its text
        QCOMPARE(editor->text(), QStringLiteral("/data/chosen.name"));
    }

    void saveToReadOnlyFileGivesNotice()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("ro.lfm"));
        writeBytes(file, "old");
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        Harness h;
        h.cfgName = file;
        h.dlg->EdDN->setText(QStringLiteral("100"));
        h.dlg->BtnSaveClick();
        QCOMPARE(h.notices.messages().size(), std::size_t{1});
        QCOMPARE(h.notices.messages()[0].text, std::string("read-only"));
        QVERIFY(h.messages.messages().empty());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old"));
    }

    void stageEditorsByKind()
    {
        Harness h;
        h.stage(0)->setText(col(scType), QStringLiteral("Связанная      "));
        h.dlg->BtnKfClick();
        QCOMPARE(h.beeps, 1);
        QCOMPARE(h.cfg.Stages[0].TypeStage, TTypeStage::tsLink);
        h.stage(0)->setText(col(scType), QStringLiteral("Свободная    "));
        bool shown = false;
        QTimer::singleShot(0, [&] {
            if (QWidget *w = QApplication::activeModalWidget()) {
                shown = w == static_cast<QWidget *>(h.dlg->CfgFreeDlg);
                static_cast<QDialog *>(w)->reject();
            }
        });
        h.dlg->BtnKfClick();
        QVERIFY(shown);
        QCOMPARE(h.beeps, 1);
    }

    void readOnlyNoticeGoesToTheTimedWindow()
    {
        TTimingMessForm form;
        TimingNoticeSink sink(&form);
        QCOMPARE(sink.show(Message{"a.lfm", "read-only"}), Answer::Ok);
        QCOMPARE(form.text(), QStringLiteral("read-only"));
        QCOMPARE(form.windowTitle(), QStringLiteral("a.lfm"));
        QVERIFY(form.timerArmed());
    }
};

QTEST_MAIN(CfgGeneralTest)
#include "test_app_cfg_general.moc"
