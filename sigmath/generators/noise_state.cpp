#include "generators/noise_state.hpp"

namespace sigmath::noise {
namespace {

// Not synchronised: concurrent use of the noise generators is not supported.
struct State {
    int64_t x = 1234;
    int64_t y = 2345;
    int64_t z = 3456;
};

State g_state;

constexpr double kInvX = 1.0 / 30269.0;
constexpr double kInvY = 1.0 / 30307.0;
constexpr double kInvZ = 1.0 / 30323.0;

} // namespace

void seed(int32_t seed)
{
    if (seed < 0)
        return;
    g_state.x = (seed == 0) ? 32767 : seed;
    // Only the low 14 bits of the products are kept, so 64-bit products give
    // the same bits a wrapping 32-bit multiplication would.
    g_state.y = (g_state.x * 8191) & 0x3FFF;
    g_state.z = (g_state.y * 8191) & 0x3FFF;
}

int32_t draw()
{
    // 64-bit products: the first draw after a large seed multiplies it by 171.
    g_state.x = (171 * g_state.x) % 30269;
    g_state.y = (172 * g_state.y) % 30307;
    g_state.z = (170 * g_state.z) % 30323;
    double u = static_cast<double>(g_state.x) * kInvX + static_cast<double>(g_state.y) * kInvY +
               static_cast<double>(g_state.z) * kInvZ;
    u -= static_cast<double>(static_cast<int64_t>(u));
    return static_cast<int32_t>(u * 32768.0);
}

} // namespace sigmath::noise
