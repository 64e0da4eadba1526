// Why a run over a recording found no revolution at all, in words a user can
// act on: the file is a configuration, the recording is empty, or a stage's
// tacho channel has no pulse. The run itself ends as its own rules say; the
// front ends add this so that an empty result never passes for success.
#pragma once

#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "run/processing_run.hpp"

#include <optional>
#include <string>

namespace vibrolan {

// Nothing when some checked pair holds a revolution (or the input is data
// files); otherwise what is wrong, naming the recording and, where it lies
// there, the stage and the tacho channel.
std::optional<std::string> ExplainNoRevolutions(const TCfgDfm &cfg, const TRunResult &run, MessageSink &sink);

} // namespace vibrolan
