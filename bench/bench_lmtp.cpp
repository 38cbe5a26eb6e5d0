// LMTP delivery end to end: `locmail lmtp` taking N messages over one
// connection and over 4 at once, beside `locmail run --once` on the same
// messages queued beforehand.
//
//   bench_lmtp [N] [USERS] [DIR]
//       N messages (default 1000) of bench_delivery's size mix for USERS users
//       (default 20), each case in a fresh installation under DIR (default
//       $TMPDIR), removed afterwards unless BENCH_KEEP is set.
//
// An LMTP case is timed from the first MAIL FROM to the last reply, every
// reply being 250 once the copy is filed and durable; its CPU is the server's
// (wait4 after SIGTERM), start-up included. The run case is timed as in
// bench_delivery (one child process from start to end).
#include "ChildRun.h"
#include "MessageMix.h"
#include "integration/LmtpClient.h"

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using bench::ChildRun;
using Clock = std::chrono::steady_clock;

struct Figures {
    double seconds = 0, cpuMs = 0;
    long failed = 0;
};

bool MakeInstallation(const std::string& locmail, const std::string& inst, int users)
{
    if (bench::Spawn({locmail, "init", inst}, true).status != 0)
        return false;
    for (int u = 0; u < users; ++u)
        if (bench::Spawn(
                {locmail, "--config", inst + "/qxmta.ini", "user", "add", "u" + std::to_string(u) + "@example.org"},
                true)
                .status != 0)
            return false;
    return true;
}

// Sends messages FIRST, FIRST + STEP, ... over one connection; the replies that were not 250.
long SendOver(const std::string& socket, const std::vector<std::string>& texts, std::size_t first, std::size_t step,
              int users)
{
    testsupport::LmtpClient client(socket);
    client.Send("LHLO bench.example.org\r\n");
    client.Replies(5);
    long failed = 0;
    for (std::size_t i = first; i < texts.size(); i += step) {
        client.Send("MAIL FROM:<sender@example.org>\r\nRCPT TO:<u" + std::to_string(i % users) +
                    "@example.org>\r\nDATA\r\n");
        client.Replies(3);
        client.Send(texts[i] + ".\r\n");
        failed += client.Replies(1).at(0).rfind("250 ", 0) != 0;
    }
    return failed;
}

Figures OverLmtp(const std::string& locmail, const std::string& inst, const std::vector<std::string>& texts, int users,
                 unsigned connections)
{
    Figures figures;
    const auto started = Clock::now();
    const pid_t server = bench::StartChild({locmail, "--config", inst + "/qxmta.ini", "lmtp"}, true);
    testsupport::LmtpClient ready(inst + "/lmtp.sock"); // waits until the server listens
    const auto start = Clock::now();
    std::vector<long> failed(connections);
    std::vector<std::thread> clients;
    for (unsigned c = 0; c < connections; ++c)
        clients.emplace_back([&, c] { failed[c] = SendOver(inst + "/lmtp.sock", texts, c, connections, users); });
    for (auto& client : clients)
        client.join();
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::kill(server, SIGTERM);
    const ChildRun run = bench::WaitChild(server, started);
    figures.cpuMs = run.CpuMs();
    for (long f : failed)
        figures.failed += f;
    if (run.status != 0)
        figures.failed = static_cast<long>(texts.size());
    return figures;
}

Figures ByRunOnce(const std::string& locmail, const std::string& inst, const std::vector<std::string>& texts, int users)
{
    locmail::mq::QueuePaths paths(inst + "/queue");
    std::filesystem::create_directories(paths.Channel("local"));
    for (std::size_t i = 0; i < texts.size(); ++i)
        bench::Enqueue(paths, static_cast<uint32_t>(i + 1), users, texts[i]);
    ::sync();
    const ChildRun run = bench::Spawn({locmail, "--config", inst + "/qxmta.ini", "run", "--once"}, true);
    return Figures{run.seconds, run.CpuMs(), run.status == 0 ? 0 : static_cast<long>(texts.size())};
}

void Print(const char* what, const Figures& f, std::size_t n)
{
    std::printf("%-28s %8.0f messages/s  %7.3f CPU ms/message  %ld failed\n", what, n / f.seconds, f.cpuMs / n,
                f.failed);
}

} // namespace

int main(int argc, char** argv)
{
    const long n = argc > 1 ? std::atol(argv[1]) : 1000;
    const int users = argc > 2 ? std::atoi(argv[2]) : 20;
    const char* tmpdir = std::getenv("TMPDIR");
    std::string root = std::string(argc > 3 ? argv[3] : (tmpdir ? tmpdir : "/tmp")) + "/bench_lmtp.XXXXXX";
    if (n <= 0 || users <= 0 || ::mkdtemp(root.data()) == nullptr) {
        std::fprintf(stderr, "usage: bench_lmtp [N] [USERS] [DIR]\n");
        return 64;
    }
    const std::string locmail = LOCMAIL_BINARY;
    std::vector<std::string> texts;
    std::mt19937 random(bench::kSeed);
    double bytes = 0;
    for (long i = 0; i < n; ++i) {
        texts.push_back(bench::Message(i, users, bench::MessageSize(random)));
        bytes += static_cast<double>(texts.back().size());
    }
    std::printf("bench_lmtp: %ld messages (%.1f MiB) for %d users in %s\n", n, bytes / 1048576.0, users, root.c_str());
    long failed = 0;
    const struct {
        const char* name;
        unsigned connections;
    } cases[] = {{"locmail lmtp, 1 connection", 1}, {"locmail lmtp, 4 connections", 4}, {"locmail run --once", 0}};
    for (const auto& c : cases) {
        const std::string inst = root + "/" + std::to_string(c.connections);
        if (!MakeInstallation(locmail, inst, users))
            return 70;
        Figures f = c.connections ? OverLmtp(locmail, inst, texts, users, c.connections)
                                  : ByRunOnce(locmail, inst, texts, users);
        Print(c.name, f, texts.size());
        failed += f.failed;
    }
    if (std::getenv("BENCH_KEEP") == nullptr)
        std::filesystem::remove_all(root);
    return failed == 0 ? 0 : 1;
}
