// The configuration as Python data: what load_config gives and save_config
// and analyze take.
#pragma once

#include "config/cfg_dfm.hpp"

#include <pybind11/pybind11.h>

namespace vibrolan::python {

pybind11::dict ConfigToDict(const TCfgDfm &cfg);
// Applies the dict's fields; ValueError for a missing, mistyped or out-of-range value.
void ApplyDict(TCfgDfm &cfg, const pybind11::handle &dict);
// Defaults, then the file `source` when it is not None (FileError, FormatError).
void LoadBase(TCfgDfm &cfg, const pybind11::handle &source);

} // namespace vibrolan::python
