#include "windows/resonance_form.hpp"

#include "identify/async_table.hpp"
#include "plot/async_track_plot.hpp"
#include "plot/campbell_plot.hpp"
#include "plot/trace_plot.hpp"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace vibrolan::app {

namespace {
const char *const kHeaders[TResonanceForm::kColumns] = {
    "Ступень",       "Лопатка",    "Кратность", "Обороты, об/мин", "Частота, Гц", "Демпфирование",
    "Амплитуда, мм", "Фаза, град", "Пар",       "Качество"};
}

TResonanceForm::TResonanceForm(const TCfgDfm &cfg, identify::IdentifyResult result,
                               identify::AsyncResult async, QChar decimal, MessageSink &messages,
                               FileChooser chooseFile, QWidget *parent)
    : QWidget(parent, Qt::Window), cfg_(cfg), result_(std::move(result)), async_(std::move(async)),
      decimal_(decimal), messages_(messages), chooseFile_(std::move(chooseFile))
{
    setWindowTitle(QStringLiteral("Резонансы"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(1100, 800);

    Table = new QTableWidget(0, kColumns);
    QStringList headers;
    for (const char *h : kHeaders)
        headers << QString::fromUtf8(h);
    Table->setHorizontalHeaderLabels(headers);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::SingleSelection);
    Table->verticalHeader()->setVisible(false);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    AsyncTable = new QTableWidget(0, identify::kAsyncColumns);
    QStringList asyncHeaders;
    for (const std::string &h : identify::AsyncTableHeaders())
        asyncHeaders << QString::fromStdString(h);
    AsyncTable->setHorizontalHeaderLabels(asyncHeaders);
    AsyncTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    AsyncTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    AsyncTable->setSelectionMode(QAbstractItemView::SingleSelection);
    AsyncTable->verticalHeader()->setVisible(false);
    AsyncTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    AsyncNotes = new QPlainTextEdit;
    AsyncNotes->setReadOnly(true);
    AsyncNotes->setMaximumHeight(90);
    auto *asyncPage = new QWidget;
    auto *asyncLayout = new QVBoxLayout(asyncPage);
    asyncLayout->setContentsMargins(0, 0, 0, 0);
    asyncLayout->addWidget(AsyncTable, 1);
    asyncLayout->addWidget(AsyncNotes);
    Track = new plot::AsyncTrackPlot;
    Tabs = new QTabWidget;
    Tabs->addTab(Table, QStringLiteral("Резонансы"));
    Tabs->addTab(asyncPage, QStringLiteral("Асинхронные колебания"));
    Tabs->addTab(Track, QStringLiteral("Частота во времени"));

    Campbell = new plot::CampbellPlot;
    Trace = new plot::TracePlot;
    Notes = new QPlainTextEdit;
    Notes->setReadOnly(true);
    Notes->setMaximumHeight(90);
    BtnSave = new QPushButton(QStringLiteral("Сохранить диаграмму..."));

    auto *plots = new QSplitter(Qt::Horizontal);
    plots->addWidget(Campbell);
    plots->addWidget(Trace);
    plots->setStretchFactor(0, 1);
    plots->setStretchFactor(1, 1);
    plots->setSizes({550, 550}); // halves of the window's width
    auto *split = new QSplitter(Qt::Vertical);
    split->addWidget(Tabs);
    split->addWidget(plots);
    split->setStretchFactor(1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnSave);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addWidget(Notes);
    layout->addLayout(buttons);

    fillTable();
    fillAsyncTable();
    Campbell->setResult(result_, async_);
    Track->setResult(async_);
    connect(Campbell, &plot::CampbellPlot::resonanceClicked, this, &TResonanceForm::showResonance);
    connect(Table, &QTableWidget::cellClicked, this, [this](int row, int) { showResonance(row); });
    connect(BtnSave, &QPushButton::clicked, this, &TResonanceForm::saveDiagram);
}

QString TResonanceForm::number(double v, int decimals) const
{
    if (!std::isfinite(v))
        return QStringLiteral("-");
    QString s = QString::number(v, 'f', decimals);
    s.replace(QLatin1Char('.'), decimal_);
    return s;
}

void TResonanceForm::fillTable()
{
    const auto &res = result_.resonances;
    Table->setRowCount(static_cast<int>(res.size()));
    for (int row = 0; row < Table->rowCount(); ++row) {
        const identify::BladeResonance &r = res[static_cast<std::size_t>(row)];
        const QString cells[kColumns] = {QString::number(r.stage + 1),   QString::number(r.blade + 1),
                                         QString::number(r.engineOrder), number(r.speedRpm, 1),
                                         number(r.frequencyHz, 3),       number(r.dampingRatio, 5),
                                         number(r.amplitude, 4),         number(r.phaseDeg, 1),
                                         QString::number(r.pairs),       number(r.quality, 3)};
        for (int c = 0; c < kColumns; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(row, c, item);
        }
    }
    QStringList notes;
    if (result_.noResonance())
        notes << QStringLiteral("Резонансы не обнаружены.");
    for (const identify::NotIdentifiable &n : result_.notIdentifiable) {
        QString where = QStringLiteral("Ступень %1").arg(n.stage + 1);
        if (n.blade >= 0)
            where += QStringLiteral(", лопатка %1").arg(n.blade + 1);
        if (n.rpmTo > n.rpmFrom)
            where += QStringLiteral(", %1 … %2 об/мин").arg(number(n.rpmFrom, 0), number(n.rpmTo, 0));
        notes << where + QStringLiteral(": ") + QString::fromStdString(n.reason);
    }
    for (const std::string &n : result_.notes)
        notes << QString::fromStdString(n);
    Notes->setPlainText(notes.join(QLatin1Char('\n')));
}

void TResonanceForm::fillAsyncTable()
{
    const auto &segs = async_.segments;
    AsyncTable->setRowCount(static_cast<int>(segs.size()));
    const char decimal = decimal_.toLatin1() != 0 ? decimal_.toLatin1() : '.';
    for (int row = 0; row < AsyncTable->rowCount(); ++row) {
        const identify::AsyncSegment &seg = segs[static_cast<std::size_t>(row)];
        const std::vector<std::string> cells = identify::AsyncTableCells(cfg_, seg, decimal);
        for (int c = 0; c < identify::kAsyncColumns; ++c) {
            auto *item = new QTableWidgetItem(QString::fromStdString(cells[static_cast<std::size_t>(c)]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (!seg.remark.empty())
                item->setToolTip(QString::fromStdString(seg.remark));
            AsyncTable->setItem(row, c, item);
        }
    }
    QStringList notes;
    if (segs.empty())
        notes << QStringLiteral("Асинхронных колебаний не найдено.");
    for (const std::string &n : async_.notes)
        notes << QString::fromStdString(n);
    for (std::size_t i = 0; i < segs.size(); ++i)
        if (!segs[i].remark.empty())
            notes << QStringLiteral("Строка %1: ").arg(i + 1) + QString::fromStdString(segs[i].remark);
    AsyncNotes->setPlainText(notes.join(QLatin1Char('\n')));
}

void TResonanceForm::showResonance(int i)
{
    if (i < 0 || i >= static_cast<int>(result_.resonances.size()))
        return;
    const identify::BladeResonance &r = result_.resonances[static_cast<std::size_t>(i)];
    try {
        Trace->setTrace(identify::TraceResonance(cfg_, r), r, decimal_);
    } catch (const std::exception &e) {
        Trace->clear();
        messages_.show({"Ошибка", e.what(), Buttons::Ok, Severity::Error});
        return;
    }
    shown_ = i;
    Table->selectRow(i);
}

void TResonanceForm::saveDiagram()
{
    FileRequest request;
    request.mode = FileRequest::Mode::Save;
    request.caption = QStringLiteral("Сохранение диаграммы Кэмпбелла");
    request.filter = QStringLiteral("рисунок PNG|*.png");
    request.defaultSuffix = QStringLiteral("png");
    const QStringList names = chooseFile_(request);
    if (names.isEmpty())
        return;
    if (const plot::SaveFailure failure = Campbell->savePng(names.first(), 1200, 800))
        messages_.show(
            {"Ошибка", failure.message(names.first()).toStdString(), Buttons::Ok, Severity::Error});
}

} // namespace vibrolan::app
