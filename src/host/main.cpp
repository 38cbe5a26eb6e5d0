// locmail: the host of the delivery agent and the operator's tool around it.
#include "host/Commands.h"
#include "host/StopRequest.h"
#include "suite/platform/Config.h"

#include <CLI/CLI.hpp>

#include <sysexits.h>

#include <string_view>

namespace {

// The subcommand: the first argument that is neither an option nor the value of --config.
std::string_view Subcommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--config")
            ++i;
        else if (!arg.starts_with("-"))
            return arg;
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything else, so that no stop signal kills `run` while it starts up.
    if (Subcommand(argc, argv) == "run")
        locmail::host::HoldStopSignals();
    CLI::App app{"locmail: local mail delivery agent"};
    app.require_subcommand(1);
    std::string config;
    app.add_option("--config", config, "configuration file (when $LOCMAIL_CONFIG is not set)")
        ->each([](const std::string& path) { locmail::SetConfigOption(path); });

    int exitCode = EX_OK;
    locmail::host::AddInitCommand(app, exitCode);
    locmail::host::AddInjectCommand(app, exitCode);
    locmail::host::AddQueueCommand(app, exitCode);
    locmail::host::AddRunCommand(app, exitCode);
    locmail::host::AddUserCommand(app, exitCode);
    locmail::host::AddSharedCommand(app, exitCode);
    locmail::host::AddStoreCommand(app, exitCode);
    locmail::host::AddRulesCommand(app, exitCode);
    locmail::host::AddExplainCommand(app, exitCode);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        return status == 0 ? EX_OK : EX_USAGE;
    }
    return exitCode;
}
