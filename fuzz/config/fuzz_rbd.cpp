// Any byte sequence loaded as a recorder configuration and imported: read
// errors, input-error messages and conversion errors, never a crash.
#include "base/errors.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "config/cfg_dump.hpp"
#include "config/cfg_rec_blade.hpp"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vibrolan;
    NullMessageSink sink;
    TCfgRecBlade rec(sink);
    try {
        TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        rec.LoadFromStream(in);
    } catch (const TCfgReadError &) {
        // the object keeps what was read; the import still converts it
    }
    (void)DescribeCfgRecBlade(rec);
    TCfgDfm cfg;
    try {
        rec.ConvertTo(cfg);
    } catch (const ValueError &) {
        return 0;
    }
    const auto bytes = cfg.SaveToBytes();
    TCfgDfm back;
    TMemoryStream in(bytes);
    back.LoadFromStream(in);
    return 0;
}
