// vibrolan-cli config: look at, create and import configurations.
#include "command.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "config/cfg_dfm.hpp"
#include "config/cfg_dump.hpp"
#include "config/cfg_rec_blade.hpp"

#include <filesystem>
#include <ostream>

namespace {

using namespace vibrolan;

// Saving is silent about a missing extension and only notifies about a
// read-only file; on the command line both are failures.
int saveChecked(TCfgDfm &cfg, const std::filesystem::path &out, cli::CommandContext &ctx)
{
    if (!out.has_extension()) {
        ctx.err << "vibrolan-cli config: " << out.string() << ": the file name needs an extension (.lfm)\n";
        return 1;
    }
    const bool readOnly = isReadOnlyFile(out);
    StderrMessageSink sink;
    cfg.SaveToFile(out, sink);
    return readOnly ? 1 : 0;
}

// Prints every message and counts the errors among them.
class ErrorCountingSink final : public MessageSink {
public:
    Answer show(const Message &message) override
    {
        if (message.severity == Severity::Error)
            ++errors;
        return stderr_.show(message);
    }
    int errors = 0;

private:
    StderrMessageSink stderr_;
};

bool isRecorderFile(const std::filesystem::path &file)
{
    const auto bytes = readWholeFile(file, TConfig::kMaxFileSize);
    const std::string_view sign = TCfgRecBlade::kSignature;
    return bytes.size() >= sign.size() && std::equal(sign.begin(), sign.end(), bytes.begin());
}

int run(cli::CommandContext &ctx)
{
    const auto &a = ctx.args;
    if (a.size() == 2 && a[0] == "show") {
        if (isRecorderFile(a[1])) {
            StderrMessageSink sink;
            TCfgRecBlade rec(sink);
            rec.LoadFromFile(a[1]);
            ctx.out << "recorder configuration " << a[1] << "\n" << DescribeCfgRecBlade(rec);
        } else {
            TCfgDfm cfg;
            cfg.LoadFromFile(a[1]);
            ctx.out << "analysis configuration " << a[1] << "\n" << DescribeCfgDfm(cfg);
        }
        return 0;
    }
    if (a.size() == 2 && a[0] == "default") {
        TCfgDfm cfg;
        cfg.InitDefault();
        return saveChecked(cfg, a[1], ctx);
    }
    if (a.size() == 3 && a[0] == "import") {
        ErrorCountingSink sink;
        TCfgRecBlade rec(sink);
        rec.LoadFromFile(a[1]);
        // A recorder configuration read only in part is no configuration to import.
        if (sink.errors > 0) {
            ctx.err << "vibrolan-cli config: " << a[1]
                    << ": the recorder configuration could not be read whole; " << a[2]
                    << " was not written\n";
            return 1;
        }
        TCfgDfm cfg;
        rec.ConvertTo(cfg);
        return saveChecked(cfg, a[2], ctx);
    }
    ctx.err << "usage: vibrolan-cli config show FILE.lfm|FILE.rbd\n"
               "       vibrolan-cli config default OUT.lfm\n"
               "       vibrolan-cli config import IN.rbd OUT.lfm\n";
    return 2;
}

const bool registered = cli::registerCommand(
    {"config", "config show FILE | default OUT.lfm | import IN.rbd OUT.lfm   analysis configurations", run});

} // namespace
