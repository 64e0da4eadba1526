#include "output/data_file_env.hpp"

#include "output/date_time_text.hpp"

#include <random>

namespace vibrolan {

double DataFileEnv::currentTime() const { return now ? now() : datafiles::currentDateTime(); }

std::uint16_t DataFileEnv::newHardId() const
{
    if (nextHardId)
        return static_cast<std::uint16_t>(nextHardId() % 10000);
    static thread_local std::minstd_rand generator{std::random_device{}()};
    return static_cast<std::uint16_t>(std::uniform_int_distribution<int>(0, 9999)(generator));
}

} // namespace vibrolan
