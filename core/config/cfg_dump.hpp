// Readable listings of configurations for people and scripts: one item per
// line, zero-based model values shown one-based where the program does.
#pragma once

#include <string>

namespace vibrolan {

class TCfgDfm;
class TCfgRecBlade;

std::string DescribeCfgDfm(const TCfgDfm &cfg);
std::string DescribeCfgRecBlade(const TCfgRecBlade &rec);

} // namespace vibrolan
