// The resonances a run's blades crossed: the table of the identification,
// its Campbell diagram, and for the resonance clicked on the diagram (or
// chosen in the table) that blade's deflection with the fitted model over
// its window. Beside the resonances, in tabs of their own, the asynchronous
// vibration of the run (rotating stall, flutter): the table of its
// segments, and their frequencies against time; the segments' frequencies
// are on the Campbell diagram too. The diagram's picture is saved as PNG.
#pragma once

#include "base/file_chooser.hpp"
#include "base/message_sink.hpp"
#include "identify/async_vibration.hpp"
#include "identify/identify.hpp"

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace vibrolan::plot {
class AsyncTrackPlot;
class CampbellPlot;
class TracePlot;
} // namespace vibrolan::plot

namespace vibrolan::app {

class TResonanceForm : public QWidget {
    Q_OBJECT
public:
    // `cfg` is the finished run the result was identified on; it must outlive
    // the window (the main window closes it before the run changes).
    TResonanceForm(const TCfgDfm &cfg, identify::IdentifyResult result, identify::AsyncResult async,
                   QChar decimal, MessageSink &messages, FileChooser chooseFile, QWidget *parent = nullptr);

    static constexpr int kColumns = 10;
    QTabWidget *Tabs = nullptr; // the resonances, the asynchronous segments, their frequency in time
    QTableWidget *Table = nullptr;
    QTableWidget *AsyncTable = nullptr;
    QPlainTextEdit *AsyncNotes = nullptr; // the layouts' limits, remarks on the segments
    plot::AsyncTrackPlot *Track = nullptr;
    plot::CampbellPlot *Campbell = nullptr;
    plot::TracePlot *Trace = nullptr;
    QPlainTextEdit *Notes = nullptr; // what could not be identified, and remarks
    QPushButton *BtnSave = nullptr;
    const identify::IdentifyResult &result() const { return result_; }
    const identify::AsyncResult &asyncResult() const { return async_; }
    int shown() const { return shown_; } // the resonance drawn in Trace, -1: none

    // Draws resonance i (an index into the result's resonances) and selects its row.
    void showResonance(int i);
    // Asks for a file name and saves the diagram there.
    void saveDiagram();

private:
    void fillTable();
    void fillAsyncTable();
    QString number(double v, int decimals) const;

    const TCfgDfm &cfg_;
    identify::IdentifyResult result_;
    identify::AsyncResult async_;
    QChar decimal_;
    MessageSink &messages_;
    FileChooser chooseFile_;
    int shown_ = -1;
};

} // namespace vibrolan::app
