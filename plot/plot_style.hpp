// What the identification pictures share: axes and title in the program's
// style, a colour per stage, and saving a picture whole or not at all.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

class QCustomPlot;

namespace vibrolan::plot {

void styleAxes(QCustomPlot &plot, const QString &xTitle, const QString &yTitle);
void addTitle(QCustomPlot &plot, const QString &title);
// Sets the text of the title addTitle() added.
void setTitle(QCustomPlot &plot, const QString &title);
QColor stageColor(int stage);
QColor seriesColor(int k);

// PNG through a temporary file renamed over `file` when complete. False with
// `error` set (Russian) when it cannot be written.
bool savePicture(const QImage &image, const QString &file, QString *error);

} // namespace vibrolan::plot
