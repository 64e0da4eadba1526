// The main window's resonance command: the identification of the finished
// run and its asynchronous vibration in a window of their own.
#include "window/main_window.hpp"

#include "windows/blade_form.hpp"
#include "windows/resonance_form.hpp"

#include <QApplication>
#include <QLabel>

namespace vibrolan::app {

void TMain::CloseResonances()
{
    delete ResonanceForm;
    ResonanceForm = nullptr;
}

void TMain::_NResonancesExecute()
{
    CloseResonances();
    identify::IdentifyResult result;
    // The blade window counts the blades identified, as it counts them during the run.
    BladeForm->show();
    const ProgressFn progress = [this](std::int64_t done, std::int64_t) {
        BladeForm->Label2->setText(QString::number(done));
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        result = identify::IdentifyResonances(*CfgDfm, {}, progress);
        QApplication::restoreOverrideCursor();
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        BladeForm->hide();
        messages_->show({"Резонансы", e.what(), Buttons::Ok, Severity::Warning});
        return;
    }
    // Then the asynchronous vibration, its progress in the same window; what
    // keeps it from being searched is said in its notes, the resonances stand.
    identify::AsyncResult async;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        async = identify::AnalyseAsynchronous(*CfgDfm, {}, progress);
        QApplication::restoreOverrideCursor();
    } catch (const std::exception &e) {
        QApplication::restoreOverrideCursor();
        async = {};
        async.notes.push_back(std::string("Асинхронные колебания не искались: ") + e.what());
    }
    BladeForm->hide();
    ResonanceForm =
        new TResonanceForm(*CfgDfm, std::move(result), std::move(async),
                           QChar::fromLatin1(fmt.decimalSeparator), *messages_, chooseFile_, this);
    ResonanceForm->show();
}

} // namespace vibrolan::app
