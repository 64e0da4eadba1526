#include "identify/run_identification.hpp"

#include "base/errors.hpp"

namespace vibrolan::identify {

RunIdentification IdentifyRun(const TCfgDfm &cfg, const RunIdentificationProgress &progress)
{
    RunIdentification out;
    if (cfg.Mode == TMode::mdDynamic) {
        try {
            out.resonances = IdentifyResonances(cfg, {}, progress.resonances);
        } catch (const ValueError &e) {
            out.notes.push_back(std::string("resonances: ") + e.what());
        }
    } else {
        out.notes.emplace_back("resonances: a steady-state run crosses no resonance; not identified");
    }
    try {
        out.asynchronous = AnalyseAsynchronous(cfg, {}, progress.asynchronous);
    } catch (const ValueError &e) {
        out.notes.push_back(std::string("asynchronous: ") + e.what());
    }
    return out;
}

std::vector<std::string> IdentificationNotes(const RunIdentification &id)
{
    std::vector<std::string> notes = id.notes;
    if (id.resonances)
        for (const std::string &n : id.resonances->notes)
            notes.push_back("resonances: " + n);
    if (id.asynchronous)
        for (const std::string &n : id.asynchronous->notes)
            notes.push_back("asynchronous: " + n);
    return notes;
}

} // namespace vibrolan::identify
