// Progress of the commands on stderr.
#pragma once

#include "compute/stage_calc.hpp"
#include "config/cfg_dfm.hpp"
#include "run/processing_run.hpp"

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace vibrolan::cli {

// Progress on stderr: one line per phase, a bar while it runs.
class ProgressPrinter {
public:
    // On a terminal a bar is redrawn in place; into a file or pipe every
    // quarter is written as a line of its own, so logs stay readable.
    explicit ProgressPrinter(std::ostream &err) : err_(err), interactive_(::isatty(2) != 0) {}
    void phase(std::string_view caption)
    {
        endLine();
        if (!caption.empty())
            err_ << caption << "\n";
    }
    void percent(const std::string &what, std::int64_t done, std::int64_t total)
    {
        const int pct =
            total > 0 ? static_cast<int>(100 * std::clamp<std::int64_t>(done, 0, total) / total) : 100;
        if (pct == last_ && what == what_)
            return;
        const bool newPhase = what != what_;
        last_ = pct;
        what_ = what;
        if (!interactive_) {
            if (pct % 25 == 0 || newPhase)
                err_ << what << ": " << pct << "%\n";
            return;
        }
        constexpr int kWidth = 30;
        const int filled = pct * kWidth / 100;
        err_ << "\r" << what << " [" << std::string(static_cast<std::size_t>(filled), '#')
             << std::string(static_cast<std::size_t>(kWidth - filled), '.') << "] " << pct << "%\x1b[K"
             << std::flush;
        open_ = true;
    }
    // The stage computation: on a terminal the bar over all blade series,
    // named after the stage and pair it is on; otherwise a line per pair.
    void calc(const TCfgDfm &cfg, const TCalcPosition &at)
    {
        const std::string where = "stage " + cfg.Stages[at.Stage].NameStage + " pair " +
                                  cfg.Stages[at.Stage].Pairs[at.Pair].NamePair;
        const auto done = static_cast<std::int64_t>(at.Done), total = static_cast<std::int64_t>(at.Total);
        if (interactive_) {
            percent("stage computation, " + where, done, total);
        } else if (where != where_) {
            const int pct =
                total > 0 ? static_cast<int>(100 * std::clamp<std::int64_t>(done, 0, total) / total) : 100;
            err_ << "stage computation: " << where << " (" << pct << "%)\n";
        }
        where_ = where;
    }
    // The run's progress callbacks drawn by this printer (the report is the caller's).
    TRunCallbacks runCallbacks(const TCfgDfm &cfg)
    {
        TRunCallbacks cb;
        cb.phase = [this](std::string_view caption) { phase(caption); };
        cb.pass = [this](std::int64_t total, std::int64_t pos, double, double, double) {
            percent("pass", pos, total);
        };
        cb.unpack = [this](std::int64_t done, std::int64_t total) { percent("unpacking", done, total); };
        cb.calc = [this, &cfg](const TCalcPosition &at) { calc(cfg, at); };
        return cb;
    }
    void endLine()
    {
        if (open_)
            err_ << "\n";
        open_ = false;
        last_ = -1;
        what_.clear();
    }

private:
    std::ostream &err_;
    bool interactive_;
    int last_ = -1;
    std::string what_, where_;
    bool open_ = false;
};

} // namespace vibrolan::cli
