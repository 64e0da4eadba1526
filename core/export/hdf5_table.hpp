// A table of named columns as one HDF5 compound dataset: one record per row,
// a member per column (float64, int64, a FALSE/TRUE enum that h5py reads as
// bool, variable-length UTF-8 text), the units as the dataset's "units"
// attribute ("column: unit; ..." for the columns that have one).
#pragma once

#include "export/hdf5_handles.hpp"
#include "identify/result_tables.hpp"

namespace vibrolan::hdf5 {

void WriteTable(const Writer &w, hid_t parent, const identify::ResultTable &table);

} // namespace vibrolan::hdf5
