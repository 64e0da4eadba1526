#include "compute/sort_by_keys.hpp"

#include "base/errors.hpp"

#include <utility>
#include <vector>

namespace vibrolan {

void SortByKeys(std::span<std::int32_t> data, std::span<const std::uint16_t> keys)
{
    const std::size_t n = data.size();
    if (keys.size() < n)
        throw ValueError("SortByKeys: fewer keys than data entries");
    std::vector<std::int32_t> k(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(n));
    for (std::size_t i = 1; i < n; ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (k[j] > k[i]) {
                std::swap(k[j], k[i]);
                std::swap(data[j], data[i]);
            }
        }
    }
}

} // namespace vibrolan
