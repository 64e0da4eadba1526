// Both identification steps on a finished run, for the outputs that carry
// the whole run (the HDF5 file, the Python results): the synchronous
// resonances (run-through mode only: a steady run crosses none) and the
// asynchronous vibration.
#pragma once

#include "base/progress.hpp"
#include "config/cfg_dfm.hpp"
#include "identify/async_vibration.hpp"
#include "identify/identify.hpp"

#include <optional>
#include <string>
#include <vector>

namespace vibrolan::identify {

struct RunIdentification {
    // Absent when the step did not run (steady mode) or could not run at all;
    // `notes` then says why.
    std::optional<IdentifyResult> resonances;
    std::optional<AsyncResult> asynchronous;
    std::vector<std::string> notes;
};

struct RunIdentificationProgress {
    ProgressFn resonances, asynchronous;
};

// Runs both steps with their default options. A step that has nothing to
// work on (ValueError) is left out with its reason in `notes`; anything else
// propagates.
RunIdentification IdentifyRun(const TCfgDfm &cfg, const RunIdentificationProgress &progress = {});

// Every remark of both steps, each led by the step's name ("resonances: ...").
std::vector<std::string> IdentificationNotes(const RunIdentification &id);

} // namespace vibrolan::identify
