// A .gts gate file: parsing, then the gates in use for one revolution.
#include "base/errors.hpp"
#include "recording/angle_gates.hpp"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    try {
        const auto c = vibrolan::parseGateFile({data, size});
        vibrolan::TAngleGates gates;
        for (const auto &g : c.gates)
            gates.AddGt(g);
        gates.setComdemon(c.comdemon);
        gates.SetTurn({0, 0, 1000}, {0, 0, 101000}, 2.0);
        for (std::uint32_t t = 0; t < 120000; t += 997)
            gates.InGates({static_cast<std::uint8_t>(t % 30), 0, t});
        while (gates.NGates() > 0)
            gates.Delete(gates.NGates() - 1);
    } catch (const vibrolan::Error &) {
    }
    return 0;
}
