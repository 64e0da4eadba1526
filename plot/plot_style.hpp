// What the identification pictures share: axes and title in the program's
// style, a colour per stage, and saving a picture whole or not at all.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include <string>

class QCustomPlot;

namespace vibrolan::plot {

void styleAxes(QCustomPlot &plot, const QString &xTitle, const QString &yTitle);
void addTitle(QCustomPlot &plot, const QString &title);
// Sets the text of the title addTitle() added.
void setTitle(QCustomPlot &plot, const QString &title);
QColor stageColor(int stage);
QColor seriesColor(int k);

// Why a picture was not saved, with the system's words for it (detail).
struct SaveFailure {
    enum class Kind { None, ReadOnly, NotWritten } kind = Kind::None;
    QString detail;
    explicit operator bool() const { return kind != Kind::None; }
    // For the user (Russian) and for the command line's errors (English).
    QString message(const QString &file) const;
    std::string englishReason() const;
};

// PNG through a temporary file renamed over `file` when complete; an existing
// file stays as it was when that fails, and a read-only one is not touched.
SaveFailure savePicture(const QImage &image, const QString &file);

} // namespace vibrolan::plot
