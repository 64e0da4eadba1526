// Subcommands of vibrolan-cli register themselves here; main() dispatches by
// the first argument. Each command lives in its own file under commands/.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace vibrolan::cli {

struct CommandContext {
    std::vector<std::string> args; // arguments after the command name
    std::ostream &out;
    std::ostream &err;
};

struct Command {
    std::string name;
    std::string synopsis; // one line for the help text
    std::function<int(CommandContext &)> run;
};

// Registers a command at static-initialisation time; returns true.
bool registerCommand(Command command);
const std::vector<Command> &commands();

} // namespace vibrolan::cli
