// The subcommands of the locmail command. Each Add*Command registers itself on the
// application and, when chosen, stores its sysexits status in EXITCODE.
#pragma once

namespace CLI {
class App;
}

namespace locmail::host {

void AddInitCommand(CLI::App& app, int& exitCode);
void AddInjectCommand(CLI::App& app, int& exitCode);
void AddQueueCommand(CLI::App& app, int& exitCode);
void AddRunCommand(CLI::App& app, int& exitCode);
void AddUserCommand(CLI::App& app, int& exitCode);
void AddSharedCommand(CLI::App& app, int& exitCode);
void AddStoreCommand(CLI::App& app, int& exitCode);
void AddRulesCommand(CLI::App& app, int& exitCode);
void AddExplainCommand(CLI::App& app, int& exitCode);

} // namespace locmail::host
