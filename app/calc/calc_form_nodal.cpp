// The second page: the pitch list and the nodal-diameter estimate.
#include "base/number_text.hpp"
#include "calc/calc_form.hpp"
#include "calc/calc_texts.hpp"
#include "compute/natural_frequency_nodal.hpp"
#include "config/cfg_dfm.hpp"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

namespace vibrolan::app {

void TCalcForm::CbxStage1Change()
{
    const int s = CbxStage1->currentIndex();
    if (!fCfgDfm || s < 0 || s >= StageCount())
        return;
    const TStage &stage = fCfgDfm->Stages[static_cast<std::size_t>(s)];
    const std::vector<TPitchRow> rows = PitchList(static_cast<std::size_t>(BladeCount(stage)));

    filling_ = true;
    ValueListEditor1->clearContents();
    ValueListEditor1->setRowCount(static_cast<int>(rows.size()) + 1);
    pitch_.clear();
    for (std::size_t i = 0; i <= rows.size(); ++i) {
        const bool total = i == rows.size();
        auto *name =
            new QTableWidgetItem(total ? QStringLiteral("Всего   =") : QString::fromStdString(rows[i].name));
        name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        auto *value = new QTableWidgetItem(total ? QString() : Fixed(rows[i].value, 5, 4));
        if (total)
            value->setFlags(value->flags() & ~Qt::ItemIsEditable);
        else
            pitch_.push_back(rows[i].value);
        ValueListEditor1->setItem(static_cast<int>(i), 0, name);
        ValueListEditor1->setItem(static_cast<int>(i), 1, value);
    }
    filling_ = false;
    ValueListEditor1Validate();

    UpdateMeanRpm(s, LblMeanFreq1);
    FillPairs(CbxPair3, pairMap3_, s);
    CheckListBox1->clear();
    for (int b = 1; b <= BladeCount(stage); ++b) {
        auto *item = new QListWidgetItem(QStringLiteral("Лоп.") + QString::number(b) + QStringLiteral("   ") +
                                         Fixed(0, 5, 3));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        CheckListBox1->addItem(item);
    }
    BtnCalcM->setEnabled(true);
}

void TCalcForm::ValueListEditor1Validate()
{
    const int rows = ValueListEditor1->rowCount();
    if (rows == 0)
        return;
    filling_ = true;
    double total = 0;
    for (int r = 0; r + 1 < rows && static_cast<std::size_t>(r) < pitch_.size(); ++r) {
        QTableWidgetItem *item = ValueListEditor1->item(r, 1);
        bool ok = false;
        const double v = item ? ParseNumber(item->text(), FS, &ok) : 0;
        if (ok)
            pitch_[static_cast<std::size_t>(r)] = v;
        else if (item) // an unreadable value goes back to the last good one
            item->setText(Fixed(pitch_[static_cast<std::size_t>(r)], 5, 4));
        total += pitch_[static_cast<std::size_t>(r)];
    }
    if (QTableWidgetItem *last = ValueListEditor1->item(rows - 1, 1))
        last->setText(Fixed(total, 5, 4));
    filling_ = false;
}

void TCalcForm::BtnCalcMClick()
{
    const int s = CbxStage1->currentIndex();
    const int p = ChosenPair(CbxPair3, pairMap3_);
    if (!fCfgDfm || s < 0 || s >= StageCount() || p < 0)
        return;
    const TStage &stage = fCfgDfm->Stages[static_cast<std::size_t>(s)];
    const int n = BladeCount(stage);

    TNodalRequest request;
    request.pitchDeg = pitch_;
    request.pitchDeg.resize(static_cast<std::size_t>(n), 0.0);
    for (int b = 0; b < n && b < CheckListBox1->count(); ++b)
        request.checked.push_back(CheckListBox1->item(b)->checkState() == Qt::Checked);
    const std::vector<float> &result = results_[static_cast<std::size_t>(s)];
    request.meanFrequency = result.empty() ? 0.0 : result[0];
    request.meanRpm = meanRpm_;
    const TNodalEstimate e =
        NodalDiameters(stage.Pairs[static_cast<std::size_t>(p)], static_cast<std::size_t>(n), request);

    for (int b = 0; b < n && b < CheckListBox1->count(); ++b) {
        const auto &q = e.q[static_cast<std::size_t>(b)];
        CheckListBox1->item(b)->setText(QStringLiteral("Лоп.") + QString::number(b + 1) +
                                        QStringLiteral("   ") + (q ? Fixed(*q, 5, 3) : NoDataText()));
    }
    auto general = [this](const std::optional<double> &v) {
        return v ? FormatGeneral(*v, FS) : NoDataText();
    };
    LblM1->setText(QStringLiteral("m1=") + general(e.m1));
    LblM2->setText(QStringLiteral("m2=") + general(e.m2));
    LblM->setText(QStringLiteral("m=") + general(e.m));
}

} // namespace vibrolan::app
