#include "escaping_output.hpp"

#include "base/terminal_text.hpp"

namespace vibrolan::cli {

EscapingStreamBuf::EscapingStreamBuf(std::streambuf *target, std::string keep)
    : target_(target), keep_(std::move(keep))
{
}

EscapingStreamBuf::~EscapingStreamBuf()
{
    flushPending(true);
    target_->pubsync();
}

void EscapingStreamBuf::flushPending(bool all)
{
    // A lead byte of a two-byte UTF-8 sequence waits for its second byte, so
    // that a C1 control split between two writes is still caught.
    std::string keepBack;
    if (!all && !pending_.empty() && static_cast<unsigned char>(pending_.back()) == 0xC2) {
        keepBack = pending_.substr(pending_.size() - 1);
        pending_.pop_back();
    }
    const std::string out = EscapeControls(pending_, keep_);
    target_->sputn(out.data(), static_cast<std::streamsize>(out.size()));
    pending_ = std::move(keepBack);
}

EscapingStreamBuf::int_type EscapingStreamBuf::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    pending_ += traits_type::to_char_type(c);
    if (pending_.back() == '\n' || pending_.back() == '\r' || pending_.size() >= 4096)
        flushPending(false);
    return c;
}

std::streamsize EscapingStreamBuf::xsputn(const char *s, std::streamsize n)
{
    pending_.append(s, static_cast<std::size_t>(n));
    if (pending_.find_first_of("\n\r") != std::string::npos || pending_.size() >= 4096)
        flushPending(false);
    return n;
}

int EscapingStreamBuf::sync()
{
    flushPending(false);
    return target_->pubsync();
}

} // namespace vibrolan::cli
