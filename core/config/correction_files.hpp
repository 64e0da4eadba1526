// The correction files of shrouded stages: the coefficient tables read into
// the configuration (Coeff, Xt, Xn, Xm, n, m) and the presence checks of the
// offset-drift and limit-deviation files. Nothing computed depends on them;
// the notices tell the user what was read.
#pragma once

#include "base/message_sink.hpp"

namespace vibrolan {

class TCfgDfm;

// Reads NmPopravk when one of the first CountStage stages is shrouded. An empty
// name becomes "popravk.dat" in the program's folder; a file that cannot be
// opened is skipped silently and the tables keep their contents. With
// `canmessage` the notice "считаны поправки " / "<n> x <m> файл <name>" is shown.
// More than 32 values on a line or more than 32 rows is a FormatError naming
// the file at the first value that does not fit; the values before it stay.
void ReadCorrectionCoefficients(TCfgDfm &cfg, bool canmessage, MessageSink &messages);

// Opens NmSnom / NmXnom when a shrouded stage is present (empty names become
// "Snom.dat" / "Xnom.dat" in the program's folder) and reads one line per blade
// of stage 0; a missing file gives the warning "нет файла <name>" with `canmessage`.
void CheckOffsetDriftFile(TCfgDfm &cfg, bool canmessage, MessageSink &messages);
void CheckLimitDeviationFile(TCfgDfm &cfg, bool canmessage, MessageSink &messages);

// The three above in their order, as done whenever an .lfm file is opened.
void LoadCorrectionFiles(TCfgDfm &cfg, bool canmessage, MessageSink &messages);

} // namespace vibrolan
