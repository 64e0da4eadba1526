// vibrolan-cli: the headless front end on the same core as the GUI.
#include "command.hpp"

#include "base/errors.hpp"
#include "sigmath/frame.h"
#include "vibrolan/version.h"

#include <exception>
#include <iostream>

namespace {

void printUsage(std::ostream &os)
{
    os << "usage: vibrolan-cli <command> [arguments]\n"
          "       vibrolan-cli --version | --help\n\ncommands:\n";
    for (const auto &c : vibrolan::cli::commands())
        os << "  " << c.synopsis << "\n";
}

} // namespace

int main(int argc, char **argv)
{
    if (SigmathRuntimeReady() == 0) {
        std::cerr << "vibrolan-cli: the analysis library could not load its runtime\n";
        return 3;
    }
    if (argc < 2) {
        printUsage(std::cerr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--version" || name == "-V") {
        std::cout << "vibrolan-cli " VIBROLAN_VERSION "\n";
        return 0;
    }
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(std::cout);
        return 0;
    }
    for (const auto &c : vibrolan::cli::commands()) {
        if (c.name != name)
            continue;
        vibrolan::cli::CommandContext ctx{{argv + 2, argv + argc}, std::cout, std::cerr};
        try {
            return c.run(ctx);
        } catch (const vibrolan::Error &e) {
            std::cerr << "vibrolan-cli " << name << ": " << e.what() << "\n";
            return 1;
        } catch (const std::exception &e) {
            std::cerr << "vibrolan-cli " << name << ": internal error: " << e.what() << "\n";
            return 1;
        }
    }
    std::cerr << "vibrolan-cli: unknown command '" << name << "'\n";
    printUsage(std::cerr);
    return 2;
}
