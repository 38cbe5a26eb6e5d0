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

} // namespace locmail::host
