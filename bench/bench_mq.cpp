// Queue throughput: inject N entries the way the host's inject does, then walk
// the channel and remove every entry the way the agent's loop does.
//
//   bench_mq [N] [DIR]     N entries (default 10000) in a fresh queue under DIR
//                          (default $TMPDIR), removed afterwards.
//
// Prints entries per second, CPU per entry and fsyncs per entry for each phase.
#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/QueueLayout.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct Sample {
    std::chrono::steady_clock::time_point wall;
    double cpu;
    unsigned long long fsyncs;
};

Sample Now()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
    return {std::chrono::steady_clock::now(), seconds(usage.ru_utime) + seconds(usage.ru_stime), locmail::FsyncCount()};
}

void Report(const char* phase, long n, const Sample& from, const Sample& to)
{
    double wall = std::chrono::duration<double>(to.wall - from.wall).count();
    std::printf("%-16s %8ld entries  %8.0f entries/s  %6.3f ms CPU/entry  %5.2f fsyncs/entry\n", phase, n,
                n / wall, (to.cpu - from.cpu) * 1000.0 / n, static_cast<double>(to.fsyncs - from.fsyncs) / n);
}

// A spread of sizes from 1 KiB to about 40 KiB, as mail comes.
std::string Message(long i)
{
    static const std::size_t sizes[] = {1024, 2048, 3000, 4096, 6000, 8192, 12000, 40000};
    std::string text = "From: sender@example.org\r\nTo: user" + std::to_string(i % 100) +
                       "@example.org\r\nSubject: bench " + std::to_string(i) + "\r\n\r\n";
    std::size_t size = sizes[i % (sizeof sizes / sizeof sizes[0])];
    while (text.size() < size)
        text += "The quick brown fox jumps over the lazy dog, again and again and again.\r\n";
    return text;
}

bool InjectOne(long i)
{
    MQContext* entry = CreateMQEntry();
    if (entry == nullptr)
        return false;
    locmail::UniqueFd out(::open(GetMQPathName(entry, ".msg"), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0640));
    locmail::mq::EnvelopeBuilder envelope;
    envelope.AddSender("sender@example.org", "local")
        .AddRecipient("user" + std::to_string(i % 100) + "@example.org", "local");
    if (!out || !locmail::WriteAll(out.get(), Message(i)) || !InsertMQChannel(entry, "local", 255) ||
        !PutMQEnvelope(entry, envelope.Envelope())) {
        DiscardMQEntry(entry);
        return false;
    }
    out.reset();
    return CloseMQEntry(entry);
}

} // namespace

int main(int argc, char** argv)
{
    long n = argc > 1 ? std::atol(argv[1]) : 10000;
    std::string parent = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
    std::string dir = parent + "/bench-mq-XXXXXX";
    if (n <= 0 || ::mkdtemp(dir.data()) == nullptr) {
        std::fprintf(stderr, "usage: bench_mq [N] [DIR]\n");
        return 64;
    }
    std::string queue = dir + "/queue";
    if (!locmail::mq::CreateQueueDirectory(queue) || !MQInit(queue.c_str(), "Bench"))
        return 70;

    Sample start = Now();
    for (long i = 0; i < n; ++i) {
        if (!InjectOne(i)) {
            std::fprintf(stderr, "inject %ld failed\n", i);
            return 70;
        }
    }
    Sample injected = Now();

    MQContext* channel = OpenMQChannel("local");
    long walked = 0;
    std::string text;
    for (uint32_t id = GetFirstMessage(channel, false); id != 0xFFFFFFFFu; id = GetNextMessage(channel, false)) {
        if (id == 0xFFFFFFFEu)
            return 70;
        std::string path = GetMQPathName(id, ".msg");
        stEnvelope* envelope = GetMQEnvelope(id);
        if (envelope == nullptr || !locmail::ReadWholeFile(path, text))
            return 70;
        FreeMQEnvelope(envelope);
        RemoveMQChannel(channel);
        ++walked;
    }
    CloseMQChannel(channel);
    Sample drained = Now();

    Report("inject", n, start, injected);
    Report("walk+remove", walked, injected, drained);
    std::filesystem::remove_all(dir);
    return walked == n ? 0 : 1;
}
