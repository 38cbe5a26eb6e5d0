// Delivery end to end: `locmail run --once` over a filled queue.
//
//   bench_delivery [N] [USERS] [DIR]
//       N queued messages (default 10000) for USERS users (default 100; 1000
//       to see a store with many homes), in a fresh installation under DIR
//       (default $TMPDIR), removed afterwards unless BENCH_KEEP is set.
//       With BENCH_RULES set, every user gets a filter file of 12 typical
//       rules that match none of the messages (11 header and address tests,
//       one size test), to see what evaluating them costs.
//       With BENCH_WARM set, an untimed run first delivers N other messages
//       to the same users, so the timed run finds every home written before
//       (its relations have a WAL, as in a store in service) instead of fresh.
//       With BENCH_PREPARE_ONLY set, only the installation is made and kept,
//       for profiling a run by hand.
//       With BENCH_BAYES set, the Bayesian filter that `locmail init` writes
//       (bogofilter, one program run per message) is enabled and every user
//       marks spam with "X-Spam-Status"; the users share one word list,
//       trained on a few messages, so that bogofilter judges rather than fails.
//
// Sizes follow a mail mix: 70% 2-8 KiB, 25% 8-64 KiB, 5% 64-512 KiB. The queue
// is written in its committed form without fsyncs, then everything is synced,
// so the run starts from a quiet disk. Then the run is timed as one child
// process (its restarts keep the process id, so wait4 covers them all) and
// the figures printed: messages/s, CPU per message (user + system), the
// durability points per message and messages per durability point (our
// fsyncs, SQLite's syncs and syncfs calls, summed from the run's own log
// lines; and, when strace is installed, every sync call of a second, untimed
// run) and peak memory (ru_maxrss). For comparison, the same messages are then
// written, fsynced and renamed one by one by this process: the physical limit
// of this disk, and the run's rate as a fraction of it, and what the file
// system is (its journal and discard decide much of that fraction).
#include "ChildRun.h"
#include "MessageMix.h"
#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using bench::ChildRun;
using bench::Enqueue;
using bench::Message;
using bench::MessageSize;
using bench::Spawn;
using bench::WriteFile;
using Clock = std::chrono::steady_clock;
using bench::kSeed;

struct Durability {
    unsigned long long fsyncs = 0, sqlite = 0, syncfs = 0;
};

// Sums "...; F fsync, S SQLite sync, Y syncfs" over every process of the run.
Durability FromLog(const std::string& logFile)
{
    Durability total;
    std::ifstream in(logFile);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find(" Run: ") == std::string::npos)
            continue;
        std::size_t at = line.find("; ");
        unsigned long long f = 0, s = 0, y = 0;
        if (at != std::string::npos &&
            std::sscanf(line.c_str() + at, "; %llu fsync, %llu SQLite sync, %llu syncfs", &f, &s, &y) == 3) {
            total.fsyncs += f;
            total.sqlite += s;
            total.syncfs += y;
        }
    }
    return total;
}

// What one process that writes, fsyncs and renames each message manages here.
double PhysicalLimit(const std::string& dir, const std::vector<std::string>& texts)
{
    std::filesystem::create_directories(dir + "/tmp");
    std::filesystem::create_directories(dir + "/new");
    auto start = Clock::now();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string tmp = dir + "/tmp/" + std::to_string(i), final = dir + "/new/" + std::to_string(i);
        locmail::UniqueFd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        if (!fd || !locmail::WriteAll(fd.get(), texts[i]) || ::fsync(fd.get()) != 0 ||
            ::rename(tmp.c_str(), final.c_str()) != 0)
            return 0;
    }
    return texts.size() / std::chrono::duration<double>(Clock::now() - start).count();
}

// Twelve rules of the usual kinds, none of which matches a bench message.
constexpr const char* kTypicalRules = R"(require ["fileinto"];
if header :contains "subject" "[SPAM]" { fileinto "Junk"; stop; }
if header :is "x-spam-flag" "YES" { fileinto "Junk"; stop; }
if address :domain :is "from" "lists.example.net" { fileinto "Lists"; stop; }
if header :contains "list-id" "announce.example.net" { fileinto "Lists\\Announce"; stop; }
if address :all :is "from" "boss@example.com" { fileinto "Boss"; stop; }
if header :matches "subject" "*invoice*2025*" { fileinto "Invoices"; stop; }
if anyof (header :contains "to" "sales@", header :contains "cc" "sales@") { fileinto "Sales"; stop; }
if exists "x-mailing-list" { fileinto "Lists"; stop; }
if header :contains "user-agent" "BulkMailer" { discard; stop; }
if address :localpart :is "from" "noreply" { fileinto "Notices"; stop; }
if header :is "precedence" "bulk" { fileinto "Bulk"; stop; }
if size :over 50M { fileinto "Large"; stop; }
)";

// The filter on for every user of INST (run after the users are added): one
// shared word list trained on three messages of each kind, and an antispam.cfg
// in each home.
bool EnableBayesianFilter(const std::string& inst, const std::string& config)
{
    const std::string words = inst + "/bench-words";
    std::filesystem::create_directories(words);
    std::ifstream in(config);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto enable = text.find("Enable=NO");
    const auto command = text.find("CommandLine=| bogofilter -d %B");
    if (enable == std::string::npos || command == std::string::npos)
        return false;
    text.replace(command, std::strlen("CommandLine=| bogofilter -d %B"), "CommandLine=| bogofilter -d " + words);
    text.replace(enable, std::strlen("Enable=NO"), "Enable=YES");
    if (!WriteFile(config, text))
        return false;
    for (int i = 0; i < 3; ++i) {
        const std::string spam = inst + "/bench-spam.eml", ham = inst + "/bench-ham.eml";
        if (!WriteFile(spam, "From: x@spam.example\r\nSubject: cheap pills " + std::to_string(i) +
                                 "\r\n\r\ncheap pills casino winner money offer, buy now\r\n") ||
            !WriteFile(ham, Message(i, 1, 3000)) ||
            Spawn({"/usr/bin/bogofilter", "-d", words, "-s", "-I", spam}, true).status != 0 ||
            Spawn({"/usr/bin/bogofilter", "-d", words, "-n", "-I", ham}, true).status != 0)
            return false;
    }
    for (const auto& home : std::filesystem::directory_iterator(inst + "/store/users"))
        if (!WriteFile(home.path().string() + "/antispam.cfg", "BayesianFilterAction=X-Spam-Status\r\n"))
            return false;
    return true;
}

// N messages queued in INST under the ids FIRST to FIRST + N - 1, synced; their size in bytes, or 0 on failure.
unsigned long long Fill(const std::string& inst, long first, long n, int users)
{
    std::mt19937 random(kSeed);
    unsigned long long bytes = 0;
    locmail::mq::QueuePaths paths(inst + "/queue");
    std::filesystem::create_directories(paths.Channel("local"));
    for (long i = 0; i < n; ++i) {
        std::string text = Message(i, users, MessageSize(random));
        bytes += text.size();
        if (!Enqueue(paths, static_cast<uint32_t>(first + i), users, text))
            return 0;
    }
    ::sync();
    return bytes;
}

// N messages delivered by an untimed run, under ids after those of the timed
// run; its log is put aside so that the timed run's durability counts stand alone.
bool WarmUp(const std::string& locmail, const std::string& inst, long n, int users)
{
    const std::string log = inst + "/log/locmail.log";
    return Fill(inst, n + 1, n, users) != 0 &&
           Spawn({locmail, "--config", inst + "/qxmta.ini", "run", "--once"}, true).status == 0 &&
           ::rename(log.c_str(), (log + ".warm-up").c_str()) == 0;
}

// A fresh installation in INST with USERS users and N queued messages; the
// queue's size in bytes, or 0 on failure. Nothing of the corpus is kept: the
// run is started while this process is small, since a spawned child's
// ru_maxrss starts from its parent's.
unsigned long long Prepare(const std::string& locmail, const std::string& inst, long n, int users)
{
    const std::string config = inst + "/qxmta.ini";
    if (Spawn({locmail, "init", inst}, true).status != 0)
        return 0;
    const bool rules = std::getenv("BENCH_RULES") != nullptr;
    const std::string rulesFile = inst + "/bench-rules.sieve";
    if (rules && !WriteFile(rulesFile, kTypicalRules))
        return 0;
    for (int u = 0; u < users; ++u) {
        const std::string user = "u" + std::to_string(u) + "@example.org";
        if (Spawn({locmail, "--config", config, "user", "add", user}, true).status ||
            (rules && Spawn({locmail, "--config", config, "rules", "set", user, rulesFile}, true).status))
            return 0;
    }
    if (std::getenv("BENCH_BAYES") != nullptr && !EnableBayesianFilter(inst, config))
        return 0;
    if (std::getenv("BENCH_WARM") != nullptr && !WarmUp(locmail, inst, n, users))
        return 0;
    return Fill(inst, 1, n, users);
}

// The sync calls a run really makes, counted by strace -c (each name: its calls).
unsigned long long SyncCallsUnderStrace(const std::string& locmail, const std::string& inst, const std::string& out)
{
    Spawn({"/usr/bin/strace", "-f", "-c", "-o", out, "-e", "trace=fsync,fdatasync,syncfs,sync,sync_file_range",
           locmail, "--config", inst + "/qxmta.ini", "run", "--once"}, true);
    std::ifstream in(out);
    std::string line;
    unsigned long long total = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> f{std::istream_iterator<std::string>(fields), std::istream_iterator<std::string>()};
        if (f.size() >= 5 && f.back().find("sync") != std::string::npos && f.back() != "total")
            total += std::stoull(f[3]);
    }
    return total;
}

// The file system under DIR, from /proc/self/mountinfo: type and source, for
// ext4 whether it keeps a journal (jbd2 lists its journals) and for any type
// whether freed blocks are discarded at once. The floor frees nothing, while
// the run frees three queue files a message; without a journal ext4 also
// skips every recently freed inode when it makes a file. Much of run/floor
// depends on these two.
std::string FileSystemOf(const std::string& dir)
{
    struct stat st;
    if (::stat(dir.c_str(), &st) != 0)
        return "unknown";
    std::ifstream info("/proc/self/mountinfo");
    for (std::string line; std::getline(info, line);) {
        std::istringstream fields(line); // id parent major:minor root point options ... - type source options
        std::string id, parent, device, root, point, options;
        fields >> id >> parent >> device >> root >> point >> options;
        unsigned major = 0, minor = 0;
        const auto dash = line.find(" - ");
        if (std::sscanf(device.c_str(), "%u:%u", &major, &minor) != 2 || makedev(major, minor) != st.st_dev ||
            dash == std::string::npos)
            continue;
        std::istringstream tail(line.substr(dash + 3));
        std::string type, source, superOptions;
        tail >> type >> source >> superOptions;
        std::string out = type + " on " + source;
        if (type == "ext4") {
            const std::string name = source.substr(source.rfind('/') + 1) + "-";
            bool journal = false;
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator("/proc/fs/jbd2", ec))
                journal = journal || entry.path().filename().string().starts_with(name);
            out += journal ? ", with a journal" : ", without a journal";
        }
        const std::string all = "," + options + "," + superOptions + ",";
        return out + (all.find(",discard,") != std::string::npos ? ", discard" : ", no discard");
    }
    return "unknown";
}

} // namespace

int main(int argc, char** argv)
{
    const long n = argc > 1 ? std::atol(argv[1]) : 10000;
    const int users = argc > 2 ? std::atoi(argv[2]) : 100;
    const char* tmpdir = std::getenv("TMPDIR");
    std::string root = std::string(argc > 3 ? argv[3] : (tmpdir ? tmpdir : "/tmp")) + "/bench_delivery.XXXXXX";
    if (n <= 0 || users <= 0 || ::mkdtemp(root.data()) == nullptr) {
        std::fprintf(stderr, "usage: bench_delivery [N] [USERS] [DIR]\n");
        return 64;
    }
    const std::string locmail = LOCMAIL_BINARY, inst = root + "/inst";
    const unsigned long long bytes = Prepare(locmail, inst, n, users);
    if (bytes == 0)
        return 70;
    if (std::getenv("BENCH_PREPARE_ONLY") != nullptr) {
        std::printf("%s\n", inst.c_str());
        return 0;
    }
    std::printf("bench_delivery: %ld messages (%.1f MiB) for %d users%s%s%s in %s\n", n, bytes / 1048576.0, users,
                std::getenv("BENCH_RULES") ? " with 12 rules each" : "",
                std::getenv("BENCH_BAYES") ? " with bogofilter" : "",
                std::getenv("BENCH_WARM") ? " in a store warmed by as many" : "", root.c_str());

    ChildRun run = Spawn({locmail, "--config", inst + "/qxmta.ini", "run", "--once"}, false);
    std::error_code unreadable;
    std::filesystem::directory_iterator markers(locmail::mq::QueuePaths(inst + "/queue").Channel("local"), unreadable);
    const long queued = unreadable ? -1 : std::distance(markers, std::filesystem::directory_iterator());
    const Durability d = FromLog(inst + "/log/locmail.log");
    const double cpu = run.CpuMs() / 1e3;
    const double per = static_cast<double>(n);
    const double rate = per / run.seconds;
    const double syncs = static_cast<double>(d.fsyncs + d.sqlite + d.syncfs);
    std::printf("locmail run --once      exit %d, %ld left queued (-1: the channel cannot be read)\n", run.status,
                queued);
    std::printf("  messages/s            %8.0f\n", rate);
    std::printf("  CPU ms/message        %8.3f\n", cpu * 1000 / per);
    std::printf("  syncs/message         %8.3f   (fsync %.3f + SQLite %.3f + syncfs %.3f, counted by the run)\n",
                syncs / per, d.fsyncs / per, d.sqlite / per, d.syncfs / per);
    std::printf("  messages/sync         %8.1f\n", syncs > 0 ? per / syncs : 0.0);
    if (::access("/usr/bin/strace", X_OK) == 0 && Prepare(locmail, root + "/traced", n, users) != 0) {
        const double calls = static_cast<double>(SyncCallsUnderStrace(locmail, root + "/traced", root + "/strace.txt"));
        std::printf("  sync calls/message    %8.3f   (strace -c of a second, untimed run: %.1f messages/sync)\n",
                    calls / per, calls > 0 ? per / calls : 0.0);
    }
    std::printf("  peak RSS              %8ld KiB\n", run.usage.ru_maxrss);

    std::vector<std::string> texts;
    std::mt19937 random(kSeed);
    for (long i = 0; i < std::min(n, 2000L); ++i)
        texts.push_back(Message(i, users, MessageSize(random)));
    const double floor = PhysicalLimit(root + "/limit", texts);
    std::printf("write+fsync+rename      %8.0f messages/s (one process, %zu messages)\n", floor, texts.size());
    std::printf("run/floor               %8.2f\n", floor > 0 ? rate / floor : 0.0);
    std::printf("file system             %s\n", FileSystemOf(root).c_str());
    if (std::getenv("BENCH_KEEP") == nullptr)
        std::filesystem::remove_all(root);
    return run.status == 0 && queued == 0 ? 0 : 1;
}
