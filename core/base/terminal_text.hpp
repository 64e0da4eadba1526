// Text taken from a file (channel, sensor, stage and pair names, file names)
// made safe for a terminal: control characters are shown as escapes instead
// of being sent, so a hostile file can neither drive the terminal (ESC, BEL,
// CSI) nor forge lines of output.
#pragma once

#include <string>
#include <string_view>

namespace vibrolan {

// C0 controls, DEL and the C1 controls of UTF-8 (U+0080 ... U+009F) become
// "\n", "\r", "\t" or "\xHH" ("\u009b" for C1), except the controls listed
// in `keep` (e.g. "\n\t" for a whole text of several lines; nothing for one
// name on one line). Other bytes pass unchanged.
std::string EscapeControls(std::string_view text, std::string_view keep = {});

} // namespace vibrolan
