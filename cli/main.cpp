// vibrolan-cli: the headless front end on the same core as the GUI.
#include "command.hpp"
#include "escaping_output.hpp"

#include "base/errors.hpp"
#include "sigmath/frame.h"
#include "vibrolan/version.h"

#include <exception>
#include <iostream>
#include <new>

namespace {

void printUsage(std::ostream &os)
{
    os << "usage: vibrolan-cli <command> [arguments]\n"
          "       vibrolan-cli --version | --help\n\ncommands:\n";
    for (const auto &c : vibrolan::cli::commands())
        os << "  " << c.synopsis << "\n";
}

// Everything printed passes control characters only as escapes: names and
// texts from files reach both streams. The error stream keeps carriage
// returns for the progress line.
class EscapedStandardStreams {
public:
    EscapedStandardStreams()
        : out_(std::cout.rdbuf(), "\n\t"), err_(std::cerr.rdbuf(), "\n\t\r"), oldOut_(std::cout.rdbuf(&out_)),
          oldErr_(std::cerr.rdbuf(&err_))
    {
    }
    ~EscapedStandardStreams()
    {
        std::cout.flush();
        std::cerr.flush();
        std::cout.rdbuf(oldOut_);
        std::cerr.rdbuf(oldErr_);
    }

private:
    vibrolan::cli::EscapingStreamBuf out_, err_;
    std::streambuf *oldOut_, *oldErr_;
};

} // namespace

int main(int argc, char **argv)
{
    const EscapedStandardStreams escaped;
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
        } catch (const std::bad_alloc &) {
            std::cerr << "vibrolan-cli " << name
                      << ": not enough memory for this command; free memory or raise the limit, or give it less "
                         "to do (fewer pairs, a shorter recording)\n";
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
