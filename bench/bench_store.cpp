// Store throughput: the filing transaction as the agent runs it, one process.
//
//   bench_store [N] [DIR] [BATCH]
//       N messages (default 10000) of about 4 KiB, filed first into one folder
//       of one user, then round-robin into the inboxes of 100 users, in a
//       fresh store under DIR (default $TMPDIR), removed afterwards. A sync
//       point (locmail::db::SyncPoint) is taken every BATCH filings (default
//       100), as a host would before letting a batch of queue entries go.
//
// Prints messages per second, CPU per message, peak memory and the
// durability points per message: our fsyncs (locmail::FsyncCount: the message
// files), SQLite's own syncs (counted by the relations' counting VFS: WAL
// checkpoints) and syncfs calls of the sync points. Each parse is done once
// outside the loop; the envelope and body structure are serialised per filing.
// A first phase measures a plain write+fsync+rename loop as the machine's limit
// (absolute figures drift between runs; compare within one run).
#include "filing/CreateMbx.h"
#include "suite/cclient/MessageParser.h"
#include "suite/db/CountingVfs.h"
#include "suite/db/SyncPoint.h"
#include "suite/msgstore/Filing.h"
#include "suite/msgstore/Relations.h"
#include "suite/msgstore/Templates.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace ms = locmail::msgstore;

struct Sample {
    std::chrono::steady_clock::time_point wall;
    double cpu, user;
    unsigned long long fsyncs, sqliteSyncs, syncfs;
};

Sample Now()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
    return {std::chrono::steady_clock::now(), seconds(usage.ru_utime) + seconds(usage.ru_stime),
            seconds(usage.ru_utime), locmail::FsyncCount(), locmail::db::SqliteSyncCount(), locmail::db::SyncfsCount()};
}

long PeakRssKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void Report(const char* phase, long n, const Sample& from, const Sample& to)
{
    const double wall = std::chrono::duration<double>(to.wall - from.wall).count();
    const double per = static_cast<double>(n);
    std::printf("%-22s %6ld msgs %6.0f msgs/s %5.3f ms CPU/msg (user %5.3f)  fsync %.3f + sqlite %.3f + syncfs %.3f"
                " = %.3f syncs/msg  peak %ld KiB\n",
                phase, n, per / wall, (to.cpu - from.cpu) * 1000.0 / per, (to.user - from.user) * 1000.0 / per,
                (to.fsyncs - from.fsyncs) / per,
                (to.sqliteSyncs - from.sqliteSyncs) / per, (to.syncfs - from.syncfs) / per,
                ((to.fsyncs - from.fsyncs) + (to.sqliteSyncs - from.sqliteSyncs) + (to.syncfs - from.syncfs)) / per,
                PeakRssKiB());
}

std::string Message(long i)
{
    std::string text = "Return-Path: <sender@example.org>\r\nFrom: Sender <sender@example.org>\r\n"
                       "To: user" + std::to_string(i % 100) + "@example.org\r\nSubject: bench message " +
                       std::to_string(i) + "\r\nMessage-ID: <" + std::to_string(i) + "@bench.example.org>\r\n"
                       "Date: Sat, 6 Dec 2025 10:00:00 +0100\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
    while (text.size() < 4096)
        text += "The quick brown fox jumps over the lazy dog, again and again and again.\r\n";
    return text;
}

// The host raises its descriptor limit so that every user's relations stay open.
void RaiseFileLimit()
{
    rlimit lim{};
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0 && lim.rlim_cur < lim.rlim_max) {
        lim.rlim_cur = lim.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &lim);
    }
}

struct Corpus {
    std::vector<std::string> texts;
    std::vector<locmail::cclient::ParsedMessage> parsed;
    std::vector<std::size_t> headerSizes;
};

Corpus MakeCorpus(long kinds)
{
    Corpus c;
    for (long i = 0; i < kinds; ++i) {
        c.texts.push_back(Message(i));
        const std::string& t = c.texts.back();
        const std::size_t header = t.find("\r\n\r\n") + 2;
        c.headerSizes.push_back(header);
        c.parsed.push_back(locmail::cclient::ParseMessage(t.data(), header, t.data() + header, t.size() - header));
    }
    return c;
}

bool FileAll(const std::vector<std::string>& homes, long n, long batch, const Corpus& corpus)
{
    diamondBase base;
    for (long i = 0; i < n; ++i) {
        const std::size_t k = static_cast<std::size_t>(i) % corpus.texts.size();
        ms::FilingRequest req;
        req.homeDir = homes[static_cast<std::size_t>(i) % homes.size()];
        req.folderPath = "inbox";
        req.text = corpus.texts[k];
        req.stat.headerSize = static_cast<std::uint32_t>(corpus.headerSizes[k]);
        req.Describe(corpus.parsed[k].envelope.get(), corpus.parsed[k].body.get());
        ms::FilingResult r = ms::FileIntoFolder(base, req);
        if (!r.ok()) {
            std::fprintf(stderr, "filing %ld failed: %s (%s)\n", i, ms::FilingStatusName(r.status), r.detail.c_str());
            return false;
        }
        if (batch > 0 && (i + 1) % batch == 0 && locmail::db::SyncPoint() != 0) {
            std::fprintf(stderr, "sync point failed\n");
            return false;
        }
    }
    return locmail::db::SyncPoint() == 0;
}

// The physical limit on this machine, for comparison in the same run: a plain
// program that writes, fsyncs and renames each message into one directory.
bool Baseline(const std::string& root, long n, const Corpus& corpus)
{
    const std::string dir = root + "/baseline";
    std::filesystem::create_directories(dir);
    const Sample start = Now();
    for (long i = 0; i < n; ++i) {
        const std::string tmp = dir + "/tmp." + std::to_string(i);
        locmail::UniqueFd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        const std::string& text = corpus.texts[static_cast<std::size_t>(i) % corpus.texts.size()];
        if (!fd || !locmail::WriteAll(fd.get(), text) || !locmail::Fsync(fd.get())
            || ::rename(tmp.c_str(), (dir + "/" + std::to_string(i)).c_str()) != 0) {
            std::perror("baseline");
            return false;
        }
    }
    Report("baseline write+fsync", n, start, Now());
    return true;
}

bool Scenario(const char* name, const char* dirName, const std::string& root, int users, long n, long batch,
              const Corpus& corpus)
{
    std::vector<std::string> homes;
    diamondBase base;
    for (int u = 0; u < users; ++u) {
        homes.push_back(root + "/" + dirName + "/user" + std::to_string(u));
        std::filesystem::create_directories(homes.back());
        mailbox mbx(&base, homes.back().c_str(), "mailbox");
        if (!CreateMbx(mbx, homes.back().c_str(), "inbox")) {
            std::fprintf(stderr, "cannot create inbox in %s\n", homes.back().c_str());
            return false;
        }
    }
    diamondBase::CloseAll();
    locmail::db::SyncPoint();
    const Sample start = Now();
    if (!FileAll(homes, n, batch, corpus))
        return false;
    const Sample filed = Now();
    diamondBase::CloseAll(); // last connections checkpoint their WAL
    const Sample closed = Now();
    Report(name, n, start, filed);
    std::printf("%-22s %6s      closing the relations: %.0f SQLite syncs, %.3f s\n", "", "",
                static_cast<double>(closed.sqliteSyncs - filed.sqliteSyncs),
                std::chrono::duration<double>(closed.wall - filed.wall).count());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const long n = argc > 1 ? std::atol(argv[1]) : 10000;
    const char* tmpdir = std::getenv("TMPDIR");
    std::string dir = argc > 2 ? argv[2] : (tmpdir != nullptr ? tmpdir : "/tmp");
    const long batch = argc > 3 ? std::atol(argv[3]) : 100;
    if (n <= 0) {
        std::fprintf(stderr, "usage: bench_store [N] [DIR] [BATCH]\n");
        return 2;
    }
    RaiseFileLimit();
    std::string root = dir + "/bench_store.XXXXXX";
    if (::mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::string error;
    const std::string store = root + "/store";
    std::filesystem::create_directories(store);
    if (!ms::WriteStoreTemplates(store, error)) {
        std::fprintf(stderr, "templates: %s\n", error.c_str());
        return 1;
    }
    const std::string ini = root + "/qxmta.ini";
    locmail::WriteFileAtomic(ini, "[MsgStore]\nHomeDir=" + store + "\n");
    ::setenv("LOCMAIL_CONFIG", ini.c_str(), 1);

    const Corpus corpus = MakeCorpus(64);
    std::printf("bench_store: %ld messages of ~4 KiB, sync point every %ld filings, store in %s\n", n, batch,
                root.c_str());
    bool ok = Baseline(root, n, corpus) && Scenario("one folder", "one", root, 1, n, batch, corpus)
            && Scenario("100 users' inboxes", "hundred", root, 100, n, batch, corpus);
    std::filesystem::remove_all(root);
    return ok ? 0 : 1;
}
