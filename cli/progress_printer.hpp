// Progress of the commands on stderr.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace vibrolan::cli {

// Progress on stderr: one line per phase, a percentage while it runs.
class ProgressPrinter {
public:
    // On a terminal the figure is redrawn in place; into a file or pipe only
    // every quarter is written, one line each, so logs stay readable.
    explicit ProgressPrinter(std::ostream &err) : err_(err), interactive_(::isatty(2) != 0) {}
    void phase(std::string_view caption)
    {
        endLine();
        if (!caption.empty())
            err_ << caption << "\n";
    }
    void percent(const std::string &what, std::int64_t done, std::int64_t total)
    {
        const int pct = total > 0 ? static_cast<int>(100 * std::min(done, total) / total) : 100;
        if (pct == last_ && what == what_)
            return;
        last_ = pct;
        what_ = what;
        if (!interactive_) {
            if (pct % 25 == 0)
                err_ << what << ": " << pct << "%\n";
            return;
        }
        err_ << "\r" << what << ": " << pct << "%" << std::flush;
        open_ = true;
    }
    void count(const std::string &what, long n)
    {
        if (!interactive_)
            return;
        err_ << "\r" << what << " " << n << std::flush;
        open_ = true;
    }
    void endLine()
    {
        if (open_)
            err_ << "\n";
        open_ = false;
        last_ = -1;
    }

private:
    std::ostream &err_;
    bool interactive_;
    int last_ = -1;
    std::string what_;
    bool open_ = false;
};

} // namespace vibrolan::cli
