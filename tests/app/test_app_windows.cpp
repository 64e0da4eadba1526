// The small windows and the number texts of the read-outs.
#include "base/errors.hpp"
#include "base/number_text.hpp"
#include "windows/float_edit.hpp"
#include "windows/timing_mess_form.hpp"
#include "windows/waiting_form.hpp"

#include <QtTest>

using namespace vibrolan;
using namespace vibrolan::app;

class WindowsTest : public QObject {
    Q_OBJECT
private slots:
    void floatEditReading_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<double>("value");
        QTest::newRow("empty is zero") << ""
                                       << "" << 0.0;
        QTest::newRow("point") << "12.5"
                               << "12.5" << 12.5;
        QTest::newRow("comma") << "12,5"
                               << "12,5" << 12.5;
        QTest::newRow("letters dropped") << "1a2b.7x"
                                         << "12.7" << 12.7;
        QTest::newRow("exponent") << "1.5E3"
                                  << "1.5E3" << 1500.0;
        QTest::newRow("sign") << "-0,25"
                              << "-0,25" << -0.25;
    }
    void floatEditReading()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(double, value);
        TFloatEdit e;
        e.setText(typed);
        QCOMPARE(e.text(), kept);
        QCOMPARE(e.GetFloatNum(), value);
    }

    void floatEditRefusesNonNumbers()
    {
        TFloatEdit e;
        e.setText(QStringLiteral("1.2.3"));
        QVERIFY_THROWS_EXCEPTION(ValueError, e.GetFloatNum());
        QLocale::setDefault(QLocale(QLocale::Russian));
        e.SetFloatNum(2.5);
        QCOMPARE(e.text(), QStringLiteral("2,5"));
        QCOMPARE(e.GetFloatNum(), 2.5);
        QLocale::setDefault(QLocale::c());
    }

    void numberTexts_data()
    {
        QTest::addColumn<double>("v");
        QTest::addColumn<QString>("general");
        QTest::addColumn<QString>("fixed63");
        QTest::newRow("integer") << 180.0 << "180"
                                 << "180,000";
        QTest::newRow("fraction") << 2.25 << "2,25"
                                  << "2,250";
        QTest::newRow("small") << 0.000015 << "1,5E-5"
                               << "0,000";
        QTest::newRow("negative") << -3.0005 << "-3,0005"
                                  << "-3,001";
        QTest::newRow("too wide for fixed") << 12345678.0 << "12345678"
                                            << "12345678";
    }
    void numberTexts()
    {
        QFETCH(double, v);
        QFETCH(QString, general);
        QFETCH(QString, fixed63);
        NumberFormat f;
        f.decimalSeparator = ',';
        QCOMPARE(FormatGeneral(v, f), general);
        QCOMPARE(FormatFixed(v, 6, 3, f), fixed63);
        bool ok = false;
        QCOMPARE(ParseNumber(general, f, &ok), v);
        QVERIFY(ok);
    }

    void waitingFormBar()
    {
        TWaitingForm w(nullptr, QStringLiteral("Распаковка"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Распаковка"));
        const std::pair<double, int> cases[] = {{0.0, 0}, {0.4567, 456}, {1.0, 1000}, {1.5, 1000}, {-2, 0}};
        for (auto [v, pos] : cases) {
            w.WFProgressFunct(v);
            QCOMPARE(w.position(), pos);
        }
    }

    void timedMessageHidesItself()
    {
        TTimingMessForm f;
        f.ShowMessage(QStringLiteral("a.lfm"), QStringLiteral("read-only"), 50);
        QVERIFY(f.isVisible());
        QCOMPARE(f.windowTitle(), QStringLiteral("a.lfm"));
        QCOMPARE(f.text(), QStringLiteral("read-only"));
        QVERIFY(f.timerArmed());
        QTRY_VERIFY_WITH_TIMEOUT(!f.isVisible(), 2000);
        QVERIFY(!f.timerArmed());
    }
};

QTEST_MAIN(WindowsTest)
#include "test_app_windows.moc"
