// locmail queue show ID: one entry, queued or held: its envelope, the header
// of its message, and what the log says about it.
#include "host/Commands.h"
#include "host/QueueArgument.h"
#include "host/Settings.h"
#include "suite/mq/EntryCheck.h"
#include "suite/mq/EntryId.h"
#include "suite/mq/QueueLayout.h"
#include "suite/platform/Files.h"
#include "suite/platform/Printable.h"
#include "suite/platform/UniqueFd.h"

#include <fcntl.h>
#include <sysexits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>

namespace locmail::host {
namespace {

// A header longer than this is shown cut.
constexpr std::size_t kHeaderShowLimit = 64 * 1024;

std::string HeaderOf(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    std::string data(kHeaderShowLimit, '\0');
    ssize_t n = fd ? ::pread(fd.get(), data.data(), data.size(), 0) : -1;
    if (n < 0)
        return "(cannot be read: " + std::string(std::strerror(errno)) + ")\n";
    data.resize(static_cast<std::size_t>(n));
    std::size_t end = data.find("\r\n\r\n");
    data.resize(end == std::string::npos ? data.size() : end + 2);
    std::string out;
    for (std::size_t at = 0; at < data.size();) {
        std::size_t next = data.find("\r\n", at);
        std::size_t stop = next == std::string::npos ? data.size() : next;
        out += PrintableText(data.substr(at, stop - at)) + "\n";
        at = next == std::string::npos ? data.size() : next + 2;
    }
    return out;
}

void PrintEnvelope(uint32_t id, const mq::EnvelopeData& envelope, const std::string& state, const mq::QueuePaths& paths)
{
    const std::time_t now = std::time(nullptr);
    std::printf("id        %s\nstate     %s\n", mq::EntryName(id).c_str(), PrintableText(state).c_str());
    std::printf("arrived   %s (%lld seconds ago)\n", LocalTime(envelope.arrived).c_str(),
                static_cast<long long>(now - envelope.arrived));
    std::printf("size      %llu\nkey       %s\n", static_cast<unsigned long long>(envelope.messageSize),
                envelope.key.c_str());
    if (envelope.crashes != 0)
        std::printf("crashed   %u time(s)\n", envelope.crashes);
    for (const auto& route : envelope.channels) {
        auto name = mq::NormaliseChannelName(route.name);
        bool marked = name && FileExists(paths.Marker(*name, id));
        std::printf("channel   %s, priority %d%s\n", PrintableText(route.name).c_str(), route.priority,
                    marked ? "" : ", no marker");
    }
    for (const auto& d : envelope.deferrals)
        std::printf("deferred  %s: %u attempt(s), next %s\n", PrintableText(d.channel).c_str(), d.attempts,
                    d.nextAttempt > now ? LocalTime(d.nextAttempt).c_str() : "now");
    for (const auto& sender : envelope.senders)
        std::printf("from      %s\n", sender.address.empty() ? "<>" : PrintableText(sender.address).c_str());
    for (const auto& rcpt : envelope.recipients)
        std::printf("rcpt      %s (%s)\n", PrintableText(rcpt.address).c_str(), PrintableText(rcpt.channel).c_str());
}

void PrintLogLines(const Settings& settings, uint32_t id)
{
    const std::string path = PathJoin(settings.logDir, "locmail.log");
    std::ifstream log(path);
    if (!log) {
        std::printf("\nlog: %s cannot be read\n", path.c_str());
        return;
    }
    std::printf("\nlog (%s):\n", path.c_str());
    const std::string name = mq::EntryName(id);
    for (std::string line; std::getline(log, line);)
        if (line.find(name) != std::string::npos)
            std::printf("%s\n", PrintableText(line).c_str());
}

} // namespace

int RunQueueShow(const std::string& idText)
{
    auto id = QueueIdArgument(idText);
    if (!id)
        return EX_USAGE;
    Settings settings;
    if (int status = LoadSettings(settings); status != EX_OK)
        return status;
    mq::QueuePaths paths(settings.queueDir);
    bool held = !FileExists(paths.EntryFile(*id, ".env")) && FileExists(paths.HoldFile(*id, ".env"));
    mq::ParsedEnvelope parsed =
        held ? mq::ReadEnvelopeFile(paths.HoldFile(*id, ".env"), *id) : mq::ReadEntryEnvelope(paths, *id);
    if (!parsed.ok && !held && !FileExists(paths.EntryFile(*id, ".env"))) {
        Complain("no entry " + mq::EntryName(*id) + " in the queue; see `locmail queue ls`");
        return EX_NOINPUT;
    }
    if (!parsed.ok) {
        Complain("the envelope of " + mq::EntryName(*id) + " cannot be used: " + parsed.fault);
        return EX_DATAERR;
    }
    std::string state = "queued";
    if (held) {
        std::string reason;
        state = ReadWholeFile(paths.HoldFile(*id, ".why"), reason) ? "held: " + reason : "held";
        while (!state.empty() && state.back() == '\n')
            state.pop_back();
    }
    PrintEnvelope(*id, parsed.data, state, paths);
    std::printf("\nheader:\n%s", HeaderOf(held ? paths.HoldFile(*id, ".msg") : paths.EntryFile(*id, ".msg")).c_str());
    PrintLogLines(settings, *id);
    return EX_OK;
}

} // namespace locmail::host
