#include "plot/plot_style.hpp"

#include "base/file_io.hpp"

#include <QImageWriter>
#include <QSaveFile>
#include <qcustomplot.h>

#include <array>

namespace vibrolan::plot {

void styleAxes(QCustomPlot &plot, const QString &xTitle, const QString &yTitle)
{
    plot.setBackground(Qt::white);
    plot.xAxis->setLabel(xTitle);
    plot.yAxis->setLabel(yTitle);
    plot.xAxis->grid()->setPen(QPen(QColor(225, 225, 225), 1));
    plot.yAxis->grid()->setPen(QPen(QColor(225, 225, 225), 1));
    plot.legend->setBrush(QColor(255, 255, 255, 220));
    plot.axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    plot.setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
}

void addTitle(QCustomPlot &plot, const QString &title)
{
    plot.plotLayout()->insertRow(0);
    auto *text = new QCPTextElement(&plot, title,
                                    QFont(plot.font().family(), plot.font().pointSize() + 1, QFont::Bold));
    text->setObjectName(QStringLiteral("title"));
    plot.plotLayout()->addElement(0, 0, text);
}

void setTitle(QCustomPlot &plot, const QString &title)
{
    if (auto *text = qobject_cast<QCPTextElement *>(plot.plotLayout()->element(0, 0)))
        text->setText(title);
}

QColor stageColor(int stage)
{
    static constexpr std::array<QRgb, 5> kColors = {0x1f5fbf, 0xc0392b, 0x2e8b3a, 0x8e44ad, 0xd68910};
    return QColor(kColors[static_cast<std::size_t>(stage) % kColors.size()]);
}

QColor seriesColor(int k)
{
    static constexpr std::array<QRgb, 8> kColors = {0x1f5fbf, 0xc0392b, 0x2e8b3a, 0x8e44ad,
                                                    0xd68910, 0x16a0a0, 0x7f6000, 0xe0508f};
    return QColor(kColors[static_cast<std::size_t>(k) % kColors.size()]);
}

QString SaveFailure::message(const QString &file) const
{
    const QString why = kind == Kind::ReadOnly ? QStringLiteral("файл только для чтения") : detail;
    return QStringLiteral("Не удалось сохранить рисунок %1: %2").arg(file, why);
}

std::string SaveFailure::englishReason() const
{
    return kind == Kind::ReadOnly ? std::string("the file is read-only; it is left as it is")
                                  : "the picture cannot be written: " + detail.toStdString();
}

SaveFailure savePicture(const QImage &image, const QString &file)
{
    using Kind = SaveFailure::Kind;
    if (image.isNull())
        return {Kind::NotWritten, QStringLiteral("no image")};
    // A file the user protected stays as it is (the write bit counts, whoever runs us).
    if (isReadOnlyFile(std::filesystem::path(file.toStdString())))
        return {Kind::ReadOnly, {}};
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return {Kind::NotWritten, out.errorString()};
    QImageWriter writer(&out, "png");
    if (!writer.write(image)) {
        out.cancelWriting();
        return {Kind::NotWritten, writer.errorString()};
    }
    if (!out.commit())
        return {Kind::NotWritten, out.errorString()};
    return {};
}

} // namespace vibrolan::plot
