#include "compute/split_at.hpp"

namespace vibrolan {

int SplitAt(std::string_view s, std::string &before, std::string &after, char c)
{
    const auto p = s.find(c);
    if (p == std::string_view::npos)
        return 0;
    before = std::string(s.substr(0, p));
    after = std::string(s.substr(p + 1));
    return static_cast<int>(p + 1);
}

} // namespace vibrolan
