// A message sink for transient notices: the caption and text appear in the
// main window's timed message window, which hides itself after 800 ms. The
// configuration stream tells a read-only file through it.
#pragma once

#include "base/message_sink.hpp"

#include <QPointer>

namespace vibrolan::app {

class TTimingMessForm;

class TimingNoticeSink final : public MessageSink {
public:
    static constexpr int kShowMs = 800;

    explicit TimingNoticeSink(TTimingMessForm *form, int milliseconds = kShowMs)
        : form_(form), milliseconds_(milliseconds)
    {
    }
    // Shows the notice (when the window still exists) and answers as a
    // non-interactive sink would: nobody is asked.
    Answer show(const Message &message) override;

private:
    QPointer<TTimingMessForm> form_;
    int milliseconds_;
};

} // namespace vibrolan::app
