// The picture in the widgets: reading it back, showing it, and the selection handlers.
#include "cfg_general/cfg_general_dlg.hpp"

#include "cfg_general/picture_commands.hpp"
#include "cfg_general/picture_exchange.hpp"
#include "recording/angle_gates.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QTreeWidget>

#include <algorithm>
#include <type_traits>

namespace vibrolan::app {

namespace {

PictureRow rowOf(const QTreeWidgetItem *item, int columns)
{
    PictureRow r;
    r.caption = item->text(0);
    for (int c = 1; c <= columns; ++c)
        r.cols << item->text(c);
    return r;
}

QTreeWidgetItem *itemOf(const PictureRow &r)
{
    auto *item = new QTreeWidgetItem(QStringList{r.caption} + r.cols);
    return item;
}

template <typename Rows> void fillList(QTreeWidget *list, const Rows &rows)
{
    const int current = list->indexOfTopLevelItem(list->currentItem());
    list->clear();
    for (const auto &r : rows) {
        QTreeWidgetItem *item = itemOf(r);
        if constexpr (std::is_same_v<std::decay_t<decltype(r)>, PairRow>) {
            item->setCheckState(0, r.checked ? Qt::Checked : Qt::Unchecked);
            item->setData(0, Qt::UserRole, r.numbering);
        }
        list->addTopLevelItem(item);
    }
    const int count = list->topLevelItemCount();
    if (count > 0)
        list->setCurrentItem(list->topLevelItem(std::clamp(current, 0, count - 1)));
}

// Refills a choice list and keeps its text when it is still offered.
void fillChoice(QComboBox *box, const QStringList &items)
{
    const QString current = box->currentText();
    box->clear();
    box->addItems(items);
    const int i = static_cast<int>(items.indexOf(current));
    box->setCurrentIndex(i >= 0 ? i : (items.isEmpty() ? -1 : 0));
}

void selectText(QComboBox *box, const QString &text)
{
    const int i = box->findText(text);
    if (i >= 0)
        box->setCurrentIndex(i);
    else if (box->isEditable())
        box->setEditText(text);
    else
        box->setCurrentIndex(-1);
}

} // namespace

CfgPicture TCfgGeneralDlg::Picture() const
{
    CfgPicture p;
    for (int i = 0; i < LVStages->topLevelItemCount(); ++i)
        p.stages << rowOf(LVStages->topLevelItem(i), kStageColumns);
    for (int i = 0; i < LVSensors->topLevelItemCount(); ++i)
        p.sensors << rowOf(LVSensors->topLevelItem(i), kSensorColumns);
    for (int i = 0; i < LVPairs->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = LVPairs->topLevelItem(i);
        PairRow r;
        static_cast<PictureRow &>(r) = rowOf(item, kPairColumns);
        r.checked = item->checkState(0) == Qt::Checked;
        r.numbering = item->data(0, Qt::UserRole).toStringList();
        p.pairs << r;
    }
    for (int i = 0; i < CbxNmChan->count(); ++i)
        p.channels << CbxNmChan->itemText(i);
    p.extra = extra();
    return p;
}

void TCfgGeneralDlg::ShowPicture(const CfgPicture &p)
{
    showRows(p);
    showExtra(p.extra);
}

void TCfgGeneralDlg::showRows(const CfgPicture &p)
{
    {
        const QScopedValueRollback<bool> busy(filling_, true);
        fillList(LVStages, p.stages);
        fillList(LVSensors, p.sensors);
        fillList(LVPairs, p.pairs);
        fillChoice(CbxNmChan, p.channels);
        const ChoiceLists c = DeriveChoiceLists(p.sensors);
        fillChoice(CbxRoot, c.roots);
        fillChoice(CbxPeak, c.tips);
        fillChoice(CbxTacho, c.tachos);
        LblUTS->setText(c.unifiedTime);
        fillChoice(CbxStageOfPair, StageNames(p));
        fillChoice(CbxPairNum, PairNames(p));
    }
    BtnDelStage->setEnabled(!StageHasPairs(p, stageRow()));
    SelectNumberingPair(CbxPairNum->currentIndex());
}

void TCfgGeneralDlg::applyRows(const CfgPicture &p, QTreeWidget *list, int row)
{
    showRows(p);
    if (row >= 0 && row < list->topLevelItemCount())
        list->setCurrentItem(list->topLevelItem(row));
}

ExtraPicture TCfgGeneralDlg::extra() const
{
    ExtraPicture e;
    e.mode = CbxMode->currentIndex();
    e.dN = EdDN->text();
    e.method = CbxMethod->currentIndex();
    e.loTaho = EdLoTaho->text();
    e.hiTaho = EdHiTaho->text();
    e.thNumPoint = EdThNumPoint->text();
    e.thOn = ChbxTaho->isChecked();
    e.loAmpl = EdLoAmpl->text();
    e.hiAmpl = EdHiAmpl->text();
    e.mgNumPoint = EdMgNumPoint->text();
    e.mgOn = ChbxAmpl->isChecked();
    e.rangeFrom = EdRangeFrom->text();
    e.rangeTo = EdRangeTo->text();
    e.source = EdSource->text();
    e.target = EdTarget->text();
    e.message = EdMessage->text();
    e.holder = EdHolder->text();
    e.gates = EdGates->text();
    e.useGates = ChbxUseGates->isChecked();
    return e;
}

void TCfgGeneralDlg::showExtra(const ExtraPicture &e)
{
    CbxMode->setCurrentIndex(e.mode >= 0 && e.mode < CbxMode->count() ? e.mode : 0);
    EdDN->setText(e.dN);
    CbxMethod->setCurrentIndex(e.method >= 0 && e.method < CbxMethod->count() ? e.method : -1);
    EdLoTaho->setText(e.loTaho);
    EdHiTaho->setText(e.hiTaho);
    EdThNumPoint->setText(e.thNumPoint);
    ChbxTaho->setChecked(e.thOn);
    EdLoAmpl->setText(e.loAmpl);
    EdHiAmpl->setText(e.hiAmpl);
    EdMgNumPoint->setText(e.mgNumPoint);
    ChbxAmpl->setChecked(e.mgOn);
    EdRangeFrom->setText(e.rangeFrom);
    EdRangeTo->setText(e.rangeTo);
    EdSource->setText(e.source);
    EdTarget->setText(e.target);
    EdMessage->setText(e.message);
    EdHolder->setText(e.holder);
    EdGates->setText(e.gates);
    ChbxUseGates->setChecked(e.useGates);
}

void TCfgGeneralDlg::showNumbering(const PairRow *pair)
{
    LVNumbering->clear();
    if (!pair)
        return;
    for (qsizetype s = 0; s < pair->numbering.size(); ++s)
        LVNumbering->addTopLevelItem(
            new QTreeWidgetItem(QStringList{QString::number(s), pair->numbering[s]}));
    if (LVNumbering->topLevelItemCount() > 0)
        LVNumbering->setCurrentItem(LVNumbering->topLevelItem(0));
}

void TCfgGeneralDlg::showGateCount()
{
    LblGates->setText(QStringLiteral("В списке ворот ") + QString::number(fGates.NGates()) +
                      QStringLiteral(" элем."));
}

int TCfgGeneralDlg::stageRow() const { return LVStages->indexOfTopLevelItem(LVStages->currentItem()); }
int TCfgGeneralDlg::sensorRow() const { return LVSensors->indexOfTopLevelItem(LVSensors->currentItem()); }
int TCfgGeneralDlg::pairRow() const { return LVPairs->indexOfTopLevelItem(LVPairs->currentItem()); }

void TCfgGeneralDlg::SelectStage(int row)
{
    const CfgPicture p = Picture();
    BtnDelStage->setEnabled(row >= 0 && !StageHasPairs(p, row));
    if (row < 0 || row >= p.stages.size())
        return;
    const StageEditors e = StageEditorsFromRow(p.stages[row]);
    EdNmStage->setText(e.name);
    EdCountBlade->setText(e.blades);
    EdCountCalibr->setText(e.calibrBlades);
    EdDiametr->setText(e.diameter);
    selectText(CbxTypeStage, e.kind);
    selectText(CbxOrder, e.direction);
    EdKfSigma->setText(e.kfSigma);
    selectText(CbxTacho, e.tacho);
    EdDivisor->setText(e.divisor);
    EdResBottom->setText(e.resBottom);
    EdResTop->setText(e.resTop);
    EdCalibr->setText(e.calibre);
}

void TCfgGeneralDlg::SelectSensor(int row)
{
    CfgPicture p = Picture();
    if (row < 0 || row >= p.sensors.size()) {
        BtnChangeSensor->setEnabled(false);
        BtnDelSensor->setEnabled(false);
        return;
    }
    const SensorGuard g = ApplySensorGuard(p, row);
    const PictureRow &s = p.sensors[row];
    if (s.cols.size() > ncFirst)
        LVSensors->topLevelItem(row)->setText(ncFirst + 1, s.cols[ncFirst]);
    EdNmSensor->setText(s.caption);
    if (s.cols.size() > ncFirst) {
        selectText(CbxNmChan, s.cols[ncChan]);
        selectText(CbxTypeSensor, s.cols[ncType]);
        EdFirstBld->setText(s.cols[ncFirst]);
    }
    BtnChangeSensor->setEnabled(!g.locked);
    BtnDelSensor->setEnabled(!g.locked);
}

void TCfgGeneralDlg::SelectPair(int row)
{
    const CfgPicture p = Picture();
    if (row < 0 || row >= p.pairs.size())
        return;
    const PairEditors e = PairEditorsFromRow(p.pairs[row]);
    EdNmPair->setText(e.name);
    selectText(CbxRoot, e.root);
    selectText(CbxPeak, e.peak);
    selectText(CbxStageOfPair, e.stage);
    EdSkip->setText(e.skip);
    EdBase->setText(e.base);
    EdTachoShift->setText(e.tachoShift);
    EdFi->setText(e.fi);
    ChbxPairChecked->setChecked(e.checked);
}

void TCfgGeneralDlg::SelectNumberingPair(int index)
{
    if (index < 0 || index >= LVPairs->topLevelItemCount()) {
        showNumbering(nullptr);
        return;
    }
    if (CbxPairNum->currentIndex() != index) {
        const QSignalBlocker block(CbxPairNum);
        CbxPairNum->setCurrentIndex(index);
    }
    PairRow r;
    r.numbering = LVPairs->topLevelItem(index)->data(0, Qt::UserRole).toStringList();
    showNumbering(&r);
}

void TCfgGeneralDlg::CbxTypeStageChange()
{
    LblInEdge->setVisible(CbxTypeStage->currentIndex() == static_cast<int>(TTypeStage::tsFree));
}

void TCfgGeneralDlg::CbxMethodChange() { LblInterval->setText(IntervalLabel(CbxMethod->currentIndex())); }

quint16 TCfgGeneralDlg::GetSensorByName(const QString &name) { return SensorByName(Picture(), name); }
quint16 TCfgGeneralDlg::GetIndexByName(const QString &name) { return PairIndexByName(Picture(), name); }
int TCfgGeneralDlg::GetCountPairs(const QString &stageName, QStringList &list)
{
    return CountPairsOfStage(Picture(), stageName, list);
}
QString TCfgGeneralDlg::PointorComma(const QString &text) { return PointOrComma(text, FS); }

} // namespace vibrolan::app
