// The identification's results as tables of named, typed columns with
// units: the form in which the whole-run outputs carry them (compound
// datasets of the HDF5 file, DataFrames in Python). Stage, blade, event and
// segment numbers are one-based, as every table of the program shows them;
// 0 in `blade` or `event` means "the whole event" or "no event". A value
// that was not determined is NaN (never a made-up number): a segment's
// frequency when the layout leaves it open, its rotating-frame frequency and
// nodal diameter when they are ambiguous (`nodal_diameter` then 0, with
// `nodal_diameter_known` false).
#pragma once

#include "config/cfg_dfm.hpp"
#include "identify/run_identification.hpp"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vibrolan::identify {

struct TableColumn {
    // A yes/no column; stored apart from the integers so that readers see booleans.
    struct Flags {
        std::vector<bool> v;
    };
    std::string name;
    std::string units; // empty for counts, numbers, flags and texts
    std::variant<std::vector<double>, std::vector<std::int64_t>, Flags, std::vector<std::string>> values;
};

struct ResultTable {
    std::string name;
    std::size_t rows = 0;
    std::vector<TableColumn> columns;
};

// The tables, in this order: "resonances" (one row per blade and
// resonance), "resonance_events", "resonances_not_identified" (present when
// the resonances were identified), "asynchronous" (one row per segment),
// "asynchronous_track" (one row per window of a segment) and
// "asynchronous_blades" (one row per segment and blade; present when the
// asynchronous step ran). `stage` >= 0 keeps that zero-based stage only.
std::vector<ResultTable> IdentificationTables(const RunIdentification &id, int stage = -1);

} // namespace vibrolan::identify
