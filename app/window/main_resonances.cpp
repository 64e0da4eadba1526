// The main window's resonance command: the identification of the finished
// run in a window of its own.
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
    BladeForm->hide();
    ResonanceForm = new TResonanceForm(*CfgDfm, std::move(result), QChar::fromLatin1(fmt.decimalSeparator),
                                       *messages_, chooseFile_, this);
    ResonanceForm->show();
}

} // namespace vibrolan::app
