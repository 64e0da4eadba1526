#include "windows/timing_notice_sink.hpp"

#include "windows/timing_mess_form.hpp"

namespace vibrolan::app {

Answer TimingNoticeSink::show(const Message &message)
{
    if (form_)
        form_->ShowMessage(QString::fromStdString(message.caption), QString::fromStdString(message.text),
                           milliseconds_);
    return affirmativeAnswer(message.buttons);
}

} // namespace vibrolan::app
