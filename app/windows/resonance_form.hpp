// The resonances a run's blades crossed: the table of the identification,
// its Campbell diagram, and for the resonance clicked on the diagram (or
// chosen in the table) that blade's deflection with the fitted model over
// its window. The diagram's picture is saved as PNG.
#pragma once

#include "base/file_chooser.hpp"
#include "base/message_sink.hpp"
#include "identify/identify.hpp"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace vibrolan::plot {
class CampbellPlot;
class TracePlot;
} // namespace vibrolan::plot

namespace vibrolan::app {

class TResonanceForm : public QWidget {
    Q_OBJECT
public:
    // `cfg` is the finished run the result was identified on; it must outlive
    // the window (the main window closes it before the run changes).
    TResonanceForm(const TCfgDfm &cfg, identify::IdentifyResult result, QChar decimal, MessageSink &messages,
                   FileChooser chooseFile, QWidget *parent = nullptr);

    static constexpr int kColumns = 10;
    QTableWidget *Table = nullptr;
    plot::CampbellPlot *Campbell = nullptr;
    plot::TracePlot *Trace = nullptr;
    QPlainTextEdit *Notes = nullptr; // what could not be identified, and remarks
    QPushButton *BtnSave = nullptr;
    const identify::IdentifyResult &result() const { return result_; }
    int shown() const { return shown_; } // the resonance drawn in Trace, -1: none

    // Draws resonance i (an index into the result's resonances) and selects its row.
    void showResonance(int i);
    // Asks for a file name and saves the diagram there.
    void saveDiagram();

private:
    void fillTable();
    QString number(double v, int decimals) const;

    const TCfgDfm &cfg_;
    identify::IdentifyResult result_;
    QChar decimal_;
    MessageSink &messages_;
    FileChooser chooseFile_;
    int shown_ = -1;
};

} // namespace vibrolan::app
