// The CLI's standard output and error streams pass control characters only
// as escapes (see EscapeControls), whatever a file put into a printed text.
#pragma once

#include <streambuf>
#include <string>

namespace vibrolan::cli {

class EscapingStreamBuf : public std::streambuf {
public:
    // `keep`: the controls that pass (line feeds, tabs; carriage returns for
    // the progress lines on the error stream).
    EscapingStreamBuf(std::streambuf *target, std::string keep);
    ~EscapingStreamBuf() override;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char *s, std::streamsize n) override;
    int sync() override;

private:
    void flushPending(bool all);

    std::streambuf *target_;
    std::string keep_;
    std::string pending_;
};

} // namespace vibrolan::cli
