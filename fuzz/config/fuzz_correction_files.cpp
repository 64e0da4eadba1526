// The correction files of shrouded stages (popravk.dat and the two files
// whose presence is checked), read from a scratch file holding the input.
#include "base/errors.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "config/correction_files.hpp"
#include "output/fuzz_dir.hpp"

#include <cstdint>

using namespace vibrolan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::filesystem::path file =
        fuzz::writeInput(fuzz::scratchDir("correction_files") / "popravk.dat", data, size);
    TCfgDfm cfg;
    cfg.InitDefault();
    cfg.CountStage = 1;
    cfg.Stages[0].TypeStage = TTypeStage::tsBandag;
    cfg.Stages[0].CountBlade = static_cast<std::uint16_t>(1 + (size > 0 ? data[0] % 64 : 0));
    cfg.NmPopravk = file.string();
    RecordingMessageSink sink;
    try {
        LoadCorrectionFiles(cfg, true, sink);
    } catch (const vibrolan::Error &) {
    }
    return 0;
}
