// Saving the results of one sensor pair as a ZAMI data set: the per-revolution
// series of every blade for one graph kind, or the 3D deflection slice
// (revolution x blade). Both always add the pair's rotation speed "Tacho".
// The GUI's two save commands and the command line call these functions.
#pragma once

#include "config/cfg_dfm.hpp"
#include "output/data_file_env.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vibrolan {

// The speed-unit selector: item 0 "RPM", item 1 "Hz".
enum class TSpeedUnit : std::uint8_t { suRpm = 0, suHz = 1 };

// Texts of the save dialogs (the first five letters of both titles are Latin).
inline constexpr const char *kSaveDataFilter = "файл данных (*.zami)|*.zami";
inline constexpr const char *kSavePairTitle = "Coxpaнение результатов по паре датчиков";
inline constexpr const char *kSaveSliceTitle = "Coxpaнение 3D состояния по паре датчиков";
// Test names of the saved data sets, eight characters each. The open command
// recognises a run-through data set by the first.
inline constexpr const char *kRunDownTestName = "Выбег   ";
inline constexpr const char *kSteadyTestName = "статика ";
// Label of the blade progress window while the speed channel is written.
inline constexpr const char *kTachoLabel = "ТАХО";

// Graph kinds as the kind selector lists them: 0 distance, 1 amplitude,
// 2 velocity, 3 stress, 4 stall, 5 compressed resonance curve (run-through)
// or distribution density (steady state), 6 reserve (run-through only).
inline constexpr int kGraphKindsDynamic = 7;
inline constexpr int kGraphKindsStatic = 6;

struct TPairLocation {
    int Stage = 0;
    int Pair = 0;
};

// The last (stage, pair) in stage and pair order whose NamePair is `name`,
// over the configured stages and pairs; none when no pair has that name.
std::optional<TPairLocation> FindPairByName(const TCfgDfm &cfg, std::string_view name);

// Units of the saved values for a graph kind; ValueError for a kind the
// mode does not list.
std::string GraphKindUnits(TMode mode, int kind);

// True when the configuration has a time-code sensor (the run then decodes
// the time of day into UTS_Time).
bool HasTimeCode(const TCfgDfm &cfg);

// Called with the text of the progress window's number label: "1", "2", ...
// per blade, then "ТАХО". An empty text asks only for a repaint.
using TSaveProgress = std::function<void(std::string_view label)>;

// Writes the pair's per-revolution results into the data set `fileName`:
// "UTS_Time" when there is a time code and more than 10 revolutions (the
// first 10 revolutions are then left out of every channel), "Tacho", and one
// channel "blade N" per blade slot with the series of graph kind `kind`.
// Kinds whose meaning the plots leave open write:
//   - run-through kind 5 ("Сжатый"): the compressed resonance curve, i.e.
//     ResonanceCurve at the pair's interval points (CmprssResnceCurve) that
//     lie in the saved revolutions, against their Time, without a
//     universal-time reference (its samples are not one per revolution);
//   - kind 6 ("резерв"): no blade channels, only "UTS_Time" and "Tacho".
// `fileName` names the data set's folder; its key file is "<folder>/<last
// component>.zami". An existing ZAMI key file is opened and the channels are
// added to it; any other existing file is refused (ValueError), never
// overwritten. Everything is checked before the data set is created: a
// location, kind or series that cannot be saved is a ValueError and writes
// nothing. File errors come from the data-file layer as FileError.
void SavePairSeries(const TCfgDfm &cfg, TPairLocation at, int kind, TSpeedUnit speed,
                    const std::filesystem::path &fileName, const DataFileEnv &env = {},
                    const TSaveProgress &progress = {});

// Writes the pair's blade deflections (Ampl + MiddleLine) as the one 3D channel
// "ТУВРА", revolution by revolution, with the units of graph kind `kind`,
// followed by "Tacho". Same checks and errors as SavePairSeries.
void SavePairSlice(const TCfgDfm &cfg, TPairLocation at, int kind, TSpeedUnit speed,
                   const std::filesystem::path &fileName, const DataFileEnv &env = {},
                   const TSaveProgress &progress = {});

} // namespace vibrolan
