#include "base/qt_message_sink.hpp"

namespace vibrolan::app {

QMessageBox::StandardButtons QtMessageSink::ButtonsOf(Buttons b)
{
    switch (b) {
    case Buttons::Ok:
        return QMessageBox::Ok;
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::RetryCancel:
        return QMessageBox::Retry | QMessageBox::Cancel;
    case Buttons::AbortRetryIgnore:
        return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

Answer QtMessageSink::AnswerOf(QMessageBox::StandardButton pressed, Buttons b)
{
    switch (pressed) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Retry:
        return Answer::Retry;
    case QMessageBox::Abort:
        return Answer::Abort;
    case QMessageBox::Ignore:
        return Answer::Ignore;
    default:
        // Closed with Escape or the window button: the set's negative choice.
        return b == Buttons::Ok                 ? Answer::Ok
               : b == Buttons::AbortRetryIgnore ? Answer::Abort
               : b == Buttons::YesNo            ? Answer::No
                                                : Answer::Cancel;
    }
}

Answer QtMessageSink::show(const Message &message)
{
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (message.severity) {
    case Severity::Information:
        icon = QMessageBox::Information;
        break;
    case Severity::Warning:
        icon = QMessageBox::Warning;
        break;
    case Severity::Error:
        icon = QMessageBox::Critical;
        break;
    case Severity::Question:
        icon = QMessageBox::Question;
        break;
    }
    QMessageBox box(icon, QString::fromStdString(message.caption), QString::fromStdString(message.text),
                    ButtonsOf(message.buttons), parent_);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    return AnswerOf(pressed, message.buttons);
}

void ShowError(QWidget *parent, const std::exception &e)
{
    QMessageBox::critical(parent, QStringLiteral("Ошибка"), QString::fromUtf8(e.what()));
}

} // namespace vibrolan::app
