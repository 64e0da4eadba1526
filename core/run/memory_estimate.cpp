#include "run/memory_estimate.hpp"

#include "base/file_io.hpp"
#include "base/plain_number.hpp"
#include "recording/bldx_decoder.hpp"
#include "recording/recording_image.hpp"
#include "recording/recording_kind.hpp"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <set>
#include <string_view>
#include <sys/resource.h>

namespace vibrolan {

namespace {

// Per revolution of a checked pair the pass keeps Freq and Time (4 bytes),
// UTS_Time with a time code (8) and each blade's deflection (4) in vectors that
// start at 1024 and double as they fill; the stage computation adds five series
// of 4 bytes per blade of the exact length (middle line, velocity, stress,
// resonance curve, stall oscillation).
constexpr std::uint64_t kComputedBladeBytes = 5 * 4;

std::uint64_t grownCapacity(std::uint64_t n)
{
    std::uint64_t c = 1024;
    while (c < n)
        c *= 2;
    return c;
}

bool hasTimeCode(const TCfgDfm &cfg)
{
    for (std::size_t i = 0; i < std::min<std::size_t>(cfg.CountSensors, kMaxSensors); ++i)
        if (cfg.Sensors[i].TypeSensor == TTypeSensor::srUTS ||
            cfg.Sensors[i].TypeSensor == TTypeSensor::srIRIG_B)
            return true;
    return false;
}

std::uint64_t compressedImageBytes(const std::filesystem::path &file, std::uint64_t &fileBytes)
{
    const RecordingImage raw = RecordingImage::mapFile(file);
    const auto bytes = raw.bytes();
    fileBytes = bytes.size();
    if (bytes.size() < 10)
        return bytes.size();
    const std::uint32_t head =
        static_cast<std::uint32_t>(bytes[6]) | static_cast<std::uint32_t>(bytes[7]) << 8 |
        static_cast<std::uint32_t>(bytes[8]) << 16 | static_cast<std::uint32_t>(bytes[9]) << 24;
    std::uint64_t total = std::min<std::uint64_t>(head, bytes.size());
    for (std::size_t pos = static_cast<std::size_t>(total); pos < bytes.size();) {
        const auto view = parseBldxBlock(bytes.subspan(pos));
        if (!view)
            break;
        total += 6 * view->records();
        pos += view->byteSize;
    }
    return total;
}

// Pulses one revolution of the shaft brings on the channels the configuration
// names, over all stages (one recording holds them all).
std::uint64_t recordsPerRevolution(const TCfgDfm &cfg)
{
    const std::size_t sensors = std::min<std::size_t>(cfg.CountSensors, kMaxSensors);
    std::map<std::uint8_t, std::uint64_t> perChannel;
    for (std::size_t s = 0; s < std::min<std::size_t>(cfg.CountStage, kMaxStages); ++s) {
        const TStage &st = cfg.Stages[s];
        const std::uint64_t blades =
            std::max<std::uint64_t>(1, std::min<std::size_t>(st.CountBlade, kMaxBlades));
        for (std::size_t p = 0; p < std::min<std::size_t>(st.CountPairs, kMaxPairs); ++p)
            for (const std::size_t sensor : {st.Pairs[p].Root, st.Pairs[p].Peak})
                if (sensor < sensors)
                    perChannel[cfg.Sensors[sensor].Chan] = blades;
        const std::size_t tacho = st.TachoComb.sensNumber;
        if (tacho < sensors && !perChannel.contains(cfg.Sensors[tacho].Chan))
            perChannel[cfg.Sensors[tacho].Chan] =
                st.TachoComb.divisor == 254 ? blades : st.TachoComb.divisor + 1u;
    }
    std::uint64_t n = 0;
    for (const auto &[channel, pulses] : perChannel)
        n += pulses;
    return n;
}

std::string mib(std::uint64_t bytes) { return PlainFixed(static_cast<double>(bytes) / (1u << 20), 1); }

std::optional<std::uint64_t> statusKiB(const char *path, std::string_view key)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with(key))
            continue;
        std::size_t i = key.size();
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        std::uint64_t v = 0;
        const auto r = std::from_chars(line.data() + i, line.data() + line.size(), v);
        if (r.ec == std::errc())
            return v * 1024;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> fileNumber(const std::filesystem::path &file)
{
    std::ifstream in(file);
    std::string text;
    if (!(in >> text) || text == "max")
        return std::nullopt;
    std::uint64_t v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() ? std::optional<std::uint64_t>(v) : std::nullopt;
}

// The rest of the memory limit of this process's control group (v2), if any.
std::optional<std::uint64_t> cgroupRest()
{
    std::ifstream in("/proc/self/cgroup");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.starts_with("0::"))
            continue;
        const std::filesystem::path dir = std::filesystem::path("/sys/fs/cgroup") / line.substr(4);
        const auto max = fileNumber(dir / "memory.max");
        const auto current = fileNumber(dir / "memory.current");
        if (max && current)
            return *max > *current ? *max - *current : 0;
    }
    return std::nullopt;
}

} // namespace

RunMemoryNeed EstimateRunMemory(const TCfgDfm &cfg)
{
    RunMemoryNeed need;
    if (cfg.TypeFile != 0)
        return need;
    const std::filesystem::path file = cfg.FileName;
    std::uint64_t records = 0;
    if (IsCompressedRecordingName(file)) {
        std::uint64_t fileBytes = 0;
        need.imageBytes = compressedImageBytes(file, fileBytes);
        need.compressedBytes = fileBytes;
        records = need.imageBytes / 6;
    } else {
        const UniqueFd fd = openRegularFileForReading(file);
        const auto size = std::filesystem::file_size(file);
        need.mappedBytes = size;
        records = size / 6;
    }
    const std::uint64_t perRevolution = recordsPerRevolution(cfg);
    if (perRevolution == 0)
        return need;
    need.revolutions = records / perRevolution + 1;
    const std::uint64_t grown = grownCapacity(need.revolutions);
    const std::uint64_t pairBytes = grown * (4 + 4) + (hasTimeCode(cfg) ? grown : 1024) * 8;
    for (std::size_t s = 0; s < std::min<std::size_t>(cfg.CountStage, kMaxStages); ++s) {
        const TStage &st = cfg.Stages[s];
        const std::uint64_t blades = std::min<std::size_t>(st.CountBlade, kMaxBlades);
        for (std::size_t p = 0; p < std::min<std::size_t>(st.CountPairs, kMaxPairs); ++p)
            if (st.Pairs[p].Checked) {
                need.passSeriesBytes += pairBytes + blades * grown * 4;
                need.computedSeriesBytes += blades * need.revolutions * kComputedBladeBytes;
            }
    }
    return need;
}

MemoryBudget CurrentMemoryBudget()
{
    MemoryBudget budget;
    rlimit as{};
    if (::getrlimit(RLIMIT_AS, &as) == 0 && as.rlim_cur != RLIM_INFINITY) {
        const std::uint64_t used = statusKiB("/proc/self/status", "VmSize:").value_or(0);
        budget.addressSpace = as.rlim_cur > used ? as.rlim_cur - used : 0;
    }
    if (const auto available = statusKiB("/proc/meminfo", "MemAvailable:")) {
        const std::uint64_t swap = statusKiB("/proc/meminfo", "SwapFree:").value_or(0);
        budget.memory = *available + swap;
    }
    if (const auto rest = cgroupRest(); rest && (!budget.memory || *rest < *budget.memory)) {
        budget.memory = *rest;
        budget.memoryLimitName = "the control group's memory limit";
    }
    return budget;
}

void CheckRunMemory(const RunMemoryNeed &need, const MemoryBudget &budget)
{
    auto refuse = [&](std::uint64_t needed, std::uint64_t available, const std::string &limit) {
        std::string recording;
        if (need.mappedBytes > 0)
            recording = "the mapped recording " + mib(need.mappedBytes) + " MB, ";
        if (need.imageBytes > 0)
            recording = "the compressed recording " + mib(need.compressedBytes) + " MB unpacked to " +
                        mib(need.imageBytes) + " MB, ";
        throw OutOfMemoryError(
            "not enough memory for the run: it needs about " + mib(needed) + " MB at its peak (" + recording +
            "the result series of about " + std::to_string(need.revolutions) + " revolutions " +
            mib(need.passSeriesBytes + need.computedSeriesBytes) + " MB), and " + mib(available) +
            " MB are available (" + limit +
            "); free memory or raise the limit, or analyse fewer pairs or a shorter recording");
    };
    if (budget.memory && need.heapBytes() > *budget.memory)
        refuse(need.heapBytes(), *budget.memory, budget.memoryLimitName);
    if (budget.addressSpace && need.addressSpaceBytes() > *budget.addressSpace)
        refuse(need.addressSpaceBytes(), *budget.addressSpace, "the address-space limit of the process");
}

void CheckMemoryForRun(const TCfgDfm &cfg) { CheckRunMemory(EstimateRunMemory(cfg), CurrentMemoryBudget()); }

} // namespace vibrolan
