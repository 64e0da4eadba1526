// Helpers shared by the data-file tests: raw bytes of typed samples, whole
// files as strings, and a fixed environment (clock, identifiers, formats).
#pragma once

#include "output/data_file_env.hpp"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <vector>

namespace vibrolan::test {

template <class T> std::span<const std::byte> bytesOf(const std::vector<T> &v)
{
    return std::as_bytes(std::span<const T>(v));
}

inline std::string fileBytes(const std::filesystem::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::filesystem::path &p, const std::string &bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// 15 March 2023, 12:00:00 (day 45000 after 30 December 1899), identifiers 4321.
inline DataFileEnv fixedEnv(char decimalSeparator = '.')
{
    DataFileEnv env;
    env.numberFormat.decimalSeparator = decimalSeparator;
    env.numberFormat.shortDateFormat = "dd.MM.yyyy";
    env.numberFormat.longTimeFormat = "hh:mm:ss";
    env.now = [] { return 45000.5; };
    env.nextHardId = [] { return std::uint16_t{4321}; };
    return env;
}

} // namespace vibrolan::test
