// Any byte sequence loaded as an analysis configuration: a read error or a
// configuration that saves, reloads and saves again to the same bytes.
#include "config/cfg_dfm.hpp"
#include "config/cfg_dump.hpp"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace vibrolan;
    TCfgDfm cfg;
    try {
        TMemoryStream in(std::vector<std::uint8_t>(data, data + size));
        cfg.LoadFromStream(in);
    } catch (const TCfgReadError &) {
        return 0;
    }
    (void)DescribeCfgDfm(cfg);
    const auto first = cfg.SaveToBytes();
    TCfgDfm again;
    TMemoryStream in(first);
    again.LoadFromStream(in); // what we wrote must load
    if (again.SaveToBytes() != first)
        std::abort();
    return 0;
}
