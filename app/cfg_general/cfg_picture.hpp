// The editing picture of the general configuration dialog: row lists of
// texts (stages, sensors, pairs with their blade numbering), the channel list
// and the single values of the "Дополнительно" page. The texts are the
// exchange format between the dialog and a TCfgDfm; everything here is plain
// data that the widgets show and the logic works on.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace vibrolan::app {

// Column positions after the caption (the caption is column 0 of a list view,
// so list-view column = position + 1).
enum StageColumn : int {
    scBlades,    // "Лопатки": N "/" M
    scDiametr,   // "Диаметр"
    scType,      // "Тип": stage kind text
    scOrder,     // "Счет": "Прямая" / "Обратная"
    scKfSigma,   // "К - т"
    scTacho,     // "Тахоотметчик": sensor name
    scDivisor,   // "делит.тахо": number or "sign."
    scResonance, // "Резонанс": A "÷" B
    scCalibr,    // "Калибр"
    kStageColumns
};
enum SensorColumn : int { ncChan, ncType, ncFirst, kSensorColumns };
enum PairColumn : int { pcRoot, pcPeak, pcStage, pcSkip, pcBase, pcTachoShift, pcFi, kPairColumns };

struct PictureRow {
    QString caption;
    QStringList cols;
    friend bool operator==(const PictureRow &, const PictureRow &) = default;
};

struct PairRow : PictureRow {
    bool checked = true;
    QStringList numbering; // per pulse position, the one-based blade number
    friend bool operator==(const PairRow &, const PairRow &) = default;
};

struct ExtraPicture {
    int mode = 0; // TMode
    QString dN;
    int method = 0; // 0 polynomial, 1 moving average
    QString loTaho, hiTaho, thNumPoint;
    bool thOn = false;
    QString loAmpl, hiAmpl, mgNumPoint;
    bool mgOn = false;
    QString rangeFrom, rangeTo;
    QString source, target, message, holder, gates;
    bool useGates = false;
    friend bool operator==(const ExtraPicture &, const ExtraPicture &) = default;
};

struct CfgPicture {
    QList<PictureRow> stages;  // at most 5
    QList<PictureRow> sensors; // at most 96
    QList<PairRow> pairs;      // at most 16 over all stages
    QStringList channels;      // "Канал - N"
    ExtraPicture extra;
};

inline constexpr int kNotFound = 999;

// Fixed texts of the dialog.
QString ChannelText(int oneBased); // "Канал - " + N
inline constexpr int kChannelPrefixLength = 8;
QStringList StageKindTexts();  // index = TTypeStage
QStringList SensorKindTexts(); // index = TTypeSensor
QStringList ModeTexts();       // index = TMode
QStringList MethodTexts();     // "Полином", "Ск. среднее"
QString IntervalLabel(int method);
QString DirectText();  // "Прямая"
QString ReverseText(); // "Обратная"
QString SignText();    // "sign."
QChar ResonanceSeparator();
QStringList StageColumnTitles();
QStringList SensorColumnTitles();
QStringList PairColumnTitles();

// The sensor choice lists derived from the sensor rows by kind.
struct ChoiceLists {
    QStringList roots, tips, tachos;
    QString unifiedTime; // name of the time-code sensor, or "ОТСУТСТВУЕТ"
};
ChoiceLists DeriveChoiceLists(const QList<PictureRow> &sensors);

QStringList StageNames(const CfgPicture &p);
QStringList PairNames(const CfgPicture &p);
int StageRowByName(const CfgPicture &p, const QString &name); // -1 when none

// Row index of the last sensor / pair row with exactly this caption; 999 when none.
std::uint16_t SensorByName(const CfgPicture &p, const QString &name);
std::uint16_t PairIndexByName(const CfgPicture &p, const QString &name);
// Appends the indices (as text) of the pair rows of the stage; returns their number.
int CountPairsOfStage(const CfgPicture &p, const QString &stageName, QStringList &list);

// The blade count of a stage row ("N/M" -> N); -1 when it is not a number.
int StageBladeCount(const PictureRow &stage);
bool StageIsReverse(const PictureRow &stage);

} // namespace vibrolan::app
