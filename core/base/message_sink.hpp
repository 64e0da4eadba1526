// How the core tells the user something: an injected sink. The GUI shows a
// modal box with exactly these texts, the CLI prints them, tests record them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vibrolan {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class Answer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };
enum class Severity { Information, Warning, Error, Question };

struct Message {
    std::string caption; // UTF-8
    std::string text;    // UTF-8
    Buttons buttons = Buttons::Ok;
    Severity severity = Severity::Information;
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows the message and returns the user's answer (Ok for plain notices).
    virtual Answer show(const Message &message) = 0;
};

// Prints "caption: text" on stderr and answers with the first button's
// affirmative choice (Ok / Yes / Retry / Abort), the non-interactive default.
class StderrMessageSink final : public MessageSink {
public:
    Answer show(const Message &message) override;
};

// Keeps every message; answers from a queue of prepared answers, then with `fallback`.
class RecordingMessageSink final : public MessageSink {
public:
    explicit RecordingMessageSink(Answer fallback = Answer::Ok) : fallback_(fallback) {}
    Answer show(const Message &message) override;

    void queueAnswer(Answer a) { answers_.push_back(a); }
    const std::vector<Message> &messages() const { return messages_; }
    void clear() { messages_.clear(); }

private:
    Answer fallback_;
    std::vector<Answer> answers_;
    std::vector<Message> messages_;
};

// Discards everything; answers Ok/Yes.
class NullMessageSink final : public MessageSink {
public:
    Answer show(const Message &message) override;
};

// Default answer when nobody can be asked.
Answer affirmativeAnswer(Buttons buttons);

} // namespace vibrolan
