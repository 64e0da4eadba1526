// The row commands and the numbering commands of the general configuration dialog.
#include "cfg_general/cfg_general_dlg.hpp"

#include "cfg_general/numbering.hpp"
#include "cfg_general/picture_commands.hpp"
#include "cfg_general/picture_exchange.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace vibrolan::app {

StageEditors TCfgGeneralDlg::stageEditors() const
{
    return {
        EdNmStage->text(),           EdCountBlade->text(),    EdCountCalibr->text(), EdDiametr->text(),
        CbxTypeStage->currentText(), CbxOrder->currentText(), EdKfSigma->text(),     CbxTacho->currentText(),
        EdDivisor->text(),           EdResBottom->text(),     EdResTop->text(),      EdCalibr->text()};
}

SensorEditors TCfgGeneralDlg::sensorEditors() const
{
    return {EdNmSensor->text(), CbxNmChan->currentText(), CbxTypeSensor->currentText(), EdFirstBld->text()};
}

PairEditors TCfgGeneralDlg::pairEditors() const
{
    return {EdNmPair->text(),
            CbxRoot->currentText(),
            CbxPeak->currentText(),
            CbxStageOfPair->currentText(),
            EdSkip->text(),
            EdBase->text(),
            EdTachoShift->text(),
            EdFi->text(),
            ChbxPairChecked->isChecked()};
}

void TCfgGeneralDlg::BtnAddStageClick()
{
    CfgPicture p = Picture();
    const StageEditors e = stageEditors();
    if (AddStage(p, e, FS, messages()))
        applyRows(p, LVStages, static_cast<int>(p.stages.size()) - 1);
}

void TCfgGeneralDlg::BtnChangeStageClick()
{
    CfgPicture p = Picture();
    const int row = stageRow();
    const StageEditors e = stageEditors();
    if (ChangeStage(p, row, e, FS, messages()))
        applyRows(p, LVStages, row);
}

void TCfgGeneralDlg::BtnDelStageClick()
{
    CfgPicture p = Picture();
    const int row = stageRow();
    if (DeleteStage(p, row)) {
        applyRows(p, LVStages, std::min(row, static_cast<int>(p.stages.size()) - 1));
        SelectStage(stageRow());
    }
}

void TCfgGeneralDlg::BtnAddSensorClick()
{
    CfgPicture p = Picture();
    const SensorEditors e = sensorEditors();
    if (AddSensor(p, e, messages())) {
        applyRows(p, LVSensors, static_cast<int>(p.sensors.size()) - 1);
        SelectSensor(sensorRow());
    }
}

void TCfgGeneralDlg::BtnChangeSensorClick()
{
    CfgPicture p = Picture();
    const int row = sensorRow();
    const SensorEditors e = sensorEditors();
    if (ChangeSensor(p, row, e, messages()))
        applyRows(p, LVSensors, row);
}

void TCfgGeneralDlg::BtnDelSensorClick()
{
    CfgPicture p = Picture();
    const int row = sensorRow();
    if (DeleteSensor(p, row)) {
        applyRows(p, LVSensors, std::min(row, static_cast<int>(p.sensors.size()) - 1));
        SelectSensor(sensorRow());
    }
}

void TCfgGeneralDlg::BtnAddPairClick()
{
    CfgPicture p = Picture();
    const PairEditors e = pairEditors();
    if (AddPair(p, e, FS, messages())) {
        applyRows(p, LVPairs, static_cast<int>(p.pairs.size()) - 1);
        SelectNumberingPair(static_cast<int>(p.pairs.size()) - 1);
        BtnDelStage->setEnabled(!StageHasPairs(p, stageRow()));
    }
}

void TCfgGeneralDlg::BtnChangePairClick()
{
    CfgPicture p = Picture();
    const int row = pairRow();
    const PairEditors e = pairEditors();
    if (ChangePair(p, row, e, FS, messages())) {
        applyRows(p, LVPairs, row);
        SelectNumberingPair(row);
        BtnDelStage->setEnabled(!StageHasPairs(p, stageRow()));
    }
}

void TCfgGeneralDlg::BtnDelPairClick()
{
    CfgPicture p = Picture();
    const int row = pairRow();
    if (DeletePair(p, row)) {
        applyRows(p, LVPairs, std::min(row, static_cast<int>(p.pairs.size()) - 1));
        SelectPair(pairRow());
        BtnDelStage->setEnabled(!StageHasPairs(p, stageRow()));
    }
}

void TCfgGeneralDlg::BtnSetBladeClick()
{
    const int pair = CbxPairNum->currentIndex();
    const int position = LVNumbering->indexOfTopLevelItem(LVNumbering->currentItem());
    if (pair < 0 || pair >= LVPairs->topLevelItemCount())
        return;
    QTreeWidgetItem *item = LVPairs->topLevelItem(pair);
    PairRow r;
    r.numbering = item->data(0, Qt::UserRole).toStringList();
    if (!SetBladeNumber(r, position, EdBladeNumber->text(), messages()))
        return;
    item->setData(0, Qt::UserRole, r.numbering);
    showNumbering(&r);
    LVNumbering->setCurrentItem(LVNumbering->topLevelItem(position));
}

void TCfgGeneralDlg::EdFirstBladeEnter()
{
    const int pair = CbxPairNum->currentIndex();
    if (pair < 0 || pair >= LVPairs->topLevelItemCount())
        return;
    QTreeWidgetItem *item = LVPairs->topLevelItem(pair);
    PairRow r;
    r.numbering = item->data(0, Qt::UserRole).toStringList();
    if (!RotateToFirstBlade(r.numbering, EdFirstBlade->text())) {
        beep();
        return;
    }
    item->setData(0, Qt::UserRole, r.numbering);
    showNumbering(&r);
}

} // namespace vibrolan::app
