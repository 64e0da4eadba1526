#include "base/message_sink.hpp"

#include "base/terminal_text.hpp"

#include <cstdio>

namespace vibrolan {

Answer affirmativeAnswer(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel:
        return Answer::Ok;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        return Answer::Yes;
    case Buttons::RetryCancel:
        return Answer::Retry;
    case Buttons::AbortRetryIgnore:
        return Answer::Abort;
    }
    return Answer::Ok;
}

Answer StderrMessageSink::show(const Message &message)
{
    // Messages carry names and texts from files: controls only as escapes.
    const std::string text = EscapeControls(message.text, "\n\t");
    if (message.caption.empty())
        std::fprintf(stderr, "%s\n", text.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", EscapeControls(message.caption).c_str(), text.c_str());
    return affirmativeAnswer(message.buttons);
}

Answer RecordingMessageSink::show(const Message &message)
{
    messages_.push_back(message);
    if (!answers_.empty()) {
        Answer a = answers_.front();
        answers_.erase(answers_.begin());
        return a;
    }
    return fallback_;
}

Answer NullMessageSink::show(const Message &message) { return affirmativeAnswer(message.buttons); }

} // namespace vibrolan
