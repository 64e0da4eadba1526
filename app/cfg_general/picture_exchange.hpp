// Conversion between the editing picture and a TCfgDfm. Writing first parses
// and checks the whole picture; only a picture without problems is written,
// so a wrong entry never leaves a configuration half changed.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "cfg_general/cfg_picture.hpp"
#include "config/cfg_dfm.hpp"

#include <optional>
#include <vector>

namespace vibrolan::app {

// Configuration -> picture (rows, channel list 1 ... 26 when there are
// sensors, the "Дополнительно" values), numbers written with `fs`.
CfgPicture ReadPicture(const TCfgDfm &cfg, const NumberFormat &fs);

// The texts of one stage / pair row as the dialog shows them.
QStringList StageColumns(const TStage &stage, const TCfgDfm &cfg, const NumberFormat &fs);

// Replaces the first "." or, failing that, the first "," by the decimal
// separator of `fs`.
QString PointOrComma(const QString &text, const NumberFormat &fs);

// Reads a number written with "." (a "," is taken for it); nullopt when the
// text is not a finite number.
std::optional<double> ReadFloat(const QString &text, const NumberFormat &fs);
// Reads a whole number; nullopt when the text is not one.
std::optional<long long> ReadInteger(const QString &text);

// Checks of single rows, used by the row commands before a row is taken in.
// Each returns the problems found (empty: the row can be written).
QStringList StageRowProblems(const PictureRow &row, int rowIndex, const NumberFormat &fs);
QStringList SensorRowProblems(const PictureRow &row, int rowIndex);
QStringList PairRowProblems(const PairRow &row, int rowIndex, const NumberFormat &fs);

// All problems of the picture (each naming its row and column).
QStringList PictureProblems(const CfgPicture &p, const NumberFormat &fs);

// Picture -> configuration. When the picture has problems they are shown in
// one message box and `cfg` is not touched (false). Otherwise every field the
// dialog edits is written; with a moving run and a zero interval dN becomes
// 10.0 and the notice "Интервал частот назначен по умолчанию" is shown.
bool WritePicture(const CfgPicture &p, TCfgDfm &cfg, const NumberFormat &fs, MessageSink &messages);

// Caption of the box that lists the problems of a picture.
QString ProblemCaption();
void ShowProblems(const QStringList &problems, MessageSink &messages);

// The per-stage values the stage editors keep in the application's
// configuration (CountHarm, OrderHarm, f1, LimStressResonance, LimStressStill,
// BIn) for stages [0, stages), and the constants f2 ... h5.
void CopyStageEditorValues(const TCfgDfm &from, TCfgDfm &to, std::size_t stages);

} // namespace vibrolan::app
