#include "plot/trace_plot.hpp"

#include "plot/plot_style.hpp"

#include <QVBoxLayout>
#include <qcustomplot.h>

#include <cmath>

namespace vibrolan::plot {

namespace {
QString number(double v, int decimals, QChar decimal)
{
    QString s = QString::number(v, 'f', decimals);
    s.replace(QLatin1Char('.'), decimal);
    return s;
}
} // namespace

TracePlot::TracePlot(QWidget *parent) : QWidget(parent), plot_(new QCustomPlot(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);
    styleAxes(*plot_, QStringLiteral("Частота вращения, об/мин"), QStringLiteral("Перемещение, мм"));
    addTitle(*plot_, QString());
    plot_->legend->setVisible(true);
}

QWidget *TracePlot::plotWidget() const { return plot_; }

void TracePlot::clear()
{
    plot_->clearGraphs();
    measured_.clear();
    model_.clear();
    title_.clear();
    setTitle(*plot_, title_);
    plot_->replot();
}

void TracePlot::setTrace(const identify::ModelTrace &trace, const identify::BladeResonance &r, QChar decimal)
{
    clear();
    title_ = QStringLiteral("Ступень %1, лопатка %2: k=%3, %4 Гц, ζ=%5")
                 .arg(r.stage + 1)
                 .arg(r.blade + 1)
                 .arg(r.engineOrder)
                 .arg(number(r.frequencyHz, 2, decimal), number(r.dampingRatio, 4, decimal));
    setTitle(*plot_, title_);
    // The measured points first, the models over all of them.
    double lo = INFINITY, hi = -INFINITY;
    std::vector<QVector<double>> xs, models;
    for (std::size_t k = 0; k < trace.pairs.size(); ++k) {
        const identify::PairTrace &p = trace.pairs[k];
        QVector<double> x, measured, model;
        for (const identify::TracePoint &pt : p.points) {
            if (!std::isfinite(pt.rpm))
                continue;
            x.push_back(pt.rpm);
            measured.push_back(pt.measured);
            model.push_back(pt.model);
            lo = std::min(lo, pt.rpm);
            hi = std::max(hi, pt.rpm);
        }
        QCPGraph *m = plot_->addGraph();
        m->setLineStyle(QCPGraph::lsNone);
        m->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, seriesColor(static_cast<int>(k)), 4));
        m->setData(x, measured, true);
        m->setName(QStringLiteral("Пара %1 (%2°)").arg(p.pair + 1).arg(number(p.fiDeg, 1, decimal)));
        measured_.push_back(plot_->graphCount() - 1);
        xs.push_back(std::move(x));
        models.push_back(std::move(model));
    }
    for (std::size_t k = 0; k < models.size(); ++k) {
        QCPGraph *f = plot_->addGraph();
        f->setPen(QPen(seriesColor(static_cast<int>(k)).darker(170), 2));
        f->setData(xs[k], models[k], true);
        if (k == 0)
            f->setName(QStringLiteral("Модель"));
        else
            f->removeFromLegend();
        model_.push_back(plot_->graphCount() - 1);
    }
    QVector<double> ex, up, down;
    for (const identify::EnvelopePoint &e : trace.envelope)
        if (std::isfinite(e.rpm) && std::isfinite(e.amplitude)) {
            ex.push_back(e.rpm);
            up.push_back(e.amplitude);
            down.push_back(-e.amplitude);
        }
    for (const QVector<double> *y : {&up, &down}) {
        QCPGraph *g = plot_->addGraph();
        g->setPen(QPen(Qt::black, 1, Qt::DashLine));
        g->setData(ex, *y, true);
        if (y == &up)
            g->setName(QStringLiteral("Амплитуда модели"));
        else
            g->removeFromLegend();
    }
    plot_->rescaleAxes();
    if (hi > lo)
        plot_->xAxis->setRange(lo, hi);
    plot_->yAxis->scaleRange(1.1);
    plot_->replot();
}

int TracePlot::measuredCount(int k) const
{
    return plot_->graph(measured_.at(static_cast<std::size_t>(k)))->dataCount();
}

int TracePlot::modelCount(int k) const
{
    return plot_->graph(model_.at(static_cast<std::size_t>(k)))->dataCount();
}

QImage TracePlot::picture(int width, int height) { return plot_->toPixmap(width, height).toImage(); }

} // namespace vibrolan::plot
