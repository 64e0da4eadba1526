#include "command.hpp"

#include <algorithm>

namespace vibrolan::cli {

namespace {
std::vector<Command> &registry()
{
    static std::vector<Command> list;
    return list;
}
} // namespace

bool registerCommand(Command command)
{
    auto &list = registry();
    auto pos = std::lower_bound(list.begin(), list.end(), command.name,
                                [](const Command &c, const std::string &n) { return c.name < n; });
    list.insert(pos, std::move(command));
    return true;
}

const std::vector<Command> &commands() { return registry(); }

} // namespace vibrolan::cli
