#include "base/safe_application.hpp"

#include "base/qt_message_sink.hpp"

#include <exception>
#include <stdexcept>

namespace vibrolan::app {

bool SafeApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        ShowError(activeWindow(), e);
    } catch (...) {
        ShowError(activeWindow(), std::runtime_error("Непредвиденная ошибка"));
    }
    return false;
}

} // namespace vibrolan::app
