// Shows the core's messages as modal message boxes with exactly the texts
// and buttons the core asks for.
#pragma once

#include "base/message_sink.hpp"

#include <QMessageBox>

class QWidget;

namespace vibrolan::app {

class QtMessageSink final : public MessageSink {
public:
    explicit QtMessageSink(QWidget *parent = nullptr) : parent_(parent) {}
    Answer show(const Message &message) override;

    // The button set and the mapping of the pressed button back.
    static QMessageBox::StandardButtons ButtonsOf(Buttons b);
    static Answer AnswerOf(QMessageBox::StandardButton pressed, Buttons b);

private:
    QWidget *parent_;
};

// Shows a caught error and lets the program go on.
void ShowError(QWidget *parent, const std::exception &e);

} // namespace vibrolan::app
