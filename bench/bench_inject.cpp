// Queueing one message per process, as a mail server's pipe transport does it.
//
//   bench_inject [N] [DIR]
//       N processes of each kind (default 300) in a fresh installation made by
//       `locmail init` under DIR (default $TMPDIR), removed afterwards.
//
// For /bin/true, `locmail --version`, `locmail inject` and `locmail-inject`
// (a 4 KiB message on standard input for the last two) it prints the CPU time
// per process (user + system of the child, start-up included, from wait4) and
// the wall time per process. Each inject commits its entry durably (fsyncs),
// so wall time follows the disk; CPU time is what start-up costs.
#include "ChildRun.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Cost {
    double cpuMs = 0, wallMs = 0;
    int failures = 0;
};

// ARGS run COUNT times, standard input from INPUT (or /dev/null), output dropped.
Cost Measure(const std::vector<std::string>& args, const std::string& input, int count)
{
    Cost cost;
    for (int i = 0; i < count; ++i) {
        bench::ChildRun run = bench::Spawn(args, true, input.empty() ? "/dev/null" : input);
        if (run.status != 0)
            ++cost.failures;
        cost.cpuMs += run.CpuMs() / count;
        cost.wallMs += run.seconds * 1e3 / count;
    }
    return cost;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    const std::filesystem::path base = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    std::string pattern = (base / "bench_inject.XXXXXX").string();
    if (count <= 0 || ::mkdtemp(pattern.data()) == nullptr) {
        std::fprintf(stderr, "usage: bench_inject [N > 0] [DIR]\n");
        return 64;
    }
    const std::string dir = pattern, config = dir + "/inst/qxmta.ini", message = dir + "/message.eml";
    std::ofstream(message) << "From: a@example.org\r\nTo: bob@example.org\r\nSubject: bench\r\n\r\n"
                           << std::string(4096, 'x') << "\r\n";
    const std::string locmail = LOCMAIL_BINARY, lean = LOCMAIL_INJECT_BINARY;
    if (Measure({locmail, "init", dir + "/inst"}, "", 1).failures) {
        std::fprintf(stderr, "bench_inject: locmail init failed in %s\n", dir.c_str());
        return 1;
    }
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::string input;
    } rows[] = {
        {"/bin/true", {"/bin/true"}, ""},
        {"locmail --version", {locmail, "--version"}, ""},
        {"locmail inject", {locmail, "--config", config, "inject", "-f", "a@example.org", "bob@example.org"}, message},
        {"locmail-inject", {lean, "--config", config, "-f", "a@example.org", "bob@example.org"}, message},
    };
    std::printf("bench_inject: %d processes each\n%-20s %12s %12s\n", count, "", "CPU ms/proc", "wall ms/proc");
    int failures = 0;
    for (const Row& row : rows) {
        Cost cost = Measure(row.args, row.input, count);
        failures += cost.failures;
        std::printf("%-20s %12.2f %12.2f%s\n", row.name, cost.cpuMs, cost.wallMs, cost.failures ? "  (failures)" : "");
    }
    std::filesystem::remove_all(dir);
    return failures ? 1 : 0;
}
