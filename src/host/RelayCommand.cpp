// locmail relay [--once]: hands the mail this system sends (returned mail and
// notices, queued on the channel "localout") to the machine's MTA through its
// submission program ([Relay] Command, default /usr/sbin/sendmail), started
// without a shell as `PROGRAM -i -f SENDER -- RECIPIENT...` with the message
// on its standard input in LF lines; the null sender is passed as "".
//
// The program's exit decides: 0 takes the entry off the channel; a failure
// that may heal (EX_TEMPFAIL, EX_UNAVAILABLE, EX_OSERR, EX_CANTCREAT,
// EX_IOERR, a program that cannot be started, dies or runs past [Relay]
// TimeOutSeconds) defers the entry with the queue's growing wait, until it
// outlives [Queue] MaxLifetimeSeconds; any other exit holds the entry for the
// operator (`locmail queue ls`, `queue release`), with the program's reason.
// The handover is at least once: a crash after the program took a message and
// before the queue forgot it hands it over again, as MTAs do among themselves.
// Without --once the relay waits for new entries (or the next deferred one)
// until SIGTERM or SIGINT, finishing the message in hand first.
#include "host/Commands.h"
#include "host/IdleWait.h"
#include "host/InstallationOwner.h"
#include "host/LogReopen.h"
#include "host/MessageInput.h"
#include "host/Settings.h"
#include "host/StopRequest.h"
#include "suite/log/LogMessage.h"
#include "suite/mq/ArrivalWatch.h"
#include "suite/mq/MQapi.h"
#include "suite/platform/ConfigKeys.h"
#include "suite/platform/Files.h"
#include "suite/platform/Process.h"

#include <strings.h>
#include <sysexits.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Relay";
constexpr const char* kChannel = "localout";
constexpr std::size_t kKeptOutput = 512; // of the program's output, for the log and the hold reason

enum class Handover { Sent, Retry, Hold };

struct Outcome {
    Handover how;
    std::string why;
};

struct EnvelopeRelease {
    void operator()(stEnvelope* envelope) const { FreeMQEnvelope(envelope); }
};

// Queue entries hold CRLF lines; a local submission program reads native LF lines.
std::string ToLfLines(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    }
    return out;
}

std::vector<std::string> ProgramCall(const std::string& program, const stEnvelope& envelope)
{
    const auto* sender =
        envelope.from.head != nullptr ? static_cast<const _envFrom*>(envelope.from.head->item) : nullptr;
    std::vector<std::string> argv{program, "-i", "-f", sender && sender->address ? sender->address : "", "--"};
    for (const stEnvNode* node = envelope.rcpt.head; node != nullptr; node = node->next) {
        const auto* rcpt = static_cast<const _envRcpt*>(node->item);
        if (rcpt != nullptr && rcpt->address != nullptr && rcpt->channel != nullptr &&
            strcasecmp(rcpt->channel, kChannel) == 0)
            argv.emplace_back(rcpt->address);
    }
    return argv;
}

bool MayHeal(int exitCode)
{
    return exitCode == EX_TEMPFAIL || exitCode == EX_UNAVAILABLE || exitCode == EX_OSERR || exitCode == EX_CANTCREAT ||
           exitCode == EX_IOERR || exitCode >= 128;
}

std::string FirstLine(const std::string& output)
{
    std::string line = output.substr(0, output.find('\n'));
    return line.empty() ? "no output" : line;
}

Outcome HandOver(const std::vector<std::string>& argv, const std::string& text, int timeOutSeconds)
{
    Process program = Process::Start(argv);
    if (!program.Started())
        return {Handover::Retry, argv[0] + " cannot be started: " + program.StartErrorText()};
    std::string output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeOutSeconds);
    if (!program.CommunicateUntil(ToLfLines(text), output, deadline, kKeptOutput)) {
        program.Kill();
        return {Handover::Retry, argv[0] + " did not finish within " + std::to_string(timeOutSeconds) + " s"};
    }
    const int exitCode = program.Wait();
    if (exitCode == 0)
        return {Handover::Sent, ""};
    const std::string why = argv[0] + " ended with " + std::to_string(exitCode) + ": " + FirstLine(output);
    return {MayHeal(exitCode) ? Handover::Retry : Handover::Hold, why};
}

class Relay {
public:
    Relay()
        : program_(config::ReadText(config::kRelayCommand)),
          timeOutSeconds_(static_cast<int>(std::max(1u, config::ReadNumber(config::kRelayTimeOutSeconds))))
    {
    }

    const std::string& Program() const { return program_; }

    // Hands over every entry due on the channel; false when the queue cannot be read.
    bool Walk(const StopRequest& stop, const LogReopenRequest& logReopen)
    {
        std::unique_ptr<MQContext, decltype(&CloseMQChannel)> channel(OpenMQChannel(kChannel), CloseMQChannel);
        if (!channel)
            return false;
        for (uint32_t id = GetFirstMessage(channel.get(), false); id != mq::kNoMessage;
             id = GetNextMessage(channel.get(), false)) {
            if (id == mq::kQueueUnreachable)
                return false;
            logReopen.ReopenIfRequested();
            Deliver(channel.get(), id);
            if (stop.Requested())
                break;
        }
        return true;
    }

private:
    void Deliver(MQContext* channel, uint32_t id)
    {
        std::unique_ptr<stEnvelope, EnvelopeRelease> envelope(GetMQEnvelope(id));
        std::string text;
        const char* textPath = GetMQPathName(id, ".msg");
        if (!envelope || textPath == nullptr || !ReadWholeFile(textPath, text)) {
            Hold(channel, id, "its envelope or text cannot be read");
            return;
        }
        const std::vector<std::string> argv = ProgramCall(program_, *envelope);
        const Outcome outcome = HandOver(argv, text, timeOutSeconds_);
        const std::string who = "<" + argv[3] + "> to " + std::to_string(argv.size() - 5) + " recipient(s)";
        switch (outcome.how) {
        case Handover::Sent:
            LogMessage(5, kModule, "<%08X> from %s: status=sent", id, who.c_str());
            RemoveMQChannel(channel);
            break;
        case Handover::Retry:
            if (DeferMQEntry(channel)) {
                LogMessage(2, kModule, "<%08X> from %s: status=deferred (%s)", id, who.c_str(), outcome.why.c_str());
                RemoveMQChannel(channel);
            }
            else
                Hold(channel, id, "not handed over before the queue's lifetime ended: " + outcome.why);
            break;
        case Handover::Hold: Hold(channel, id, outcome.why); break;
        }
    }

    static void Hold(MQContext* channel, uint32_t id, const std::string& why)
    {
        LogMessage(1, kModule, "<%08X> status=held (%s)", id, why.c_str());
        if (!HoldMQEntry(channel, why.c_str()))
            LogMessage(1, kModule, "<%08X> could not be held; it stays queued", id);
    }

    const std::string program_;
    const int timeOutSeconds_;
};

} // namespace

int RunRelay(bool once)
{
    Settings settings;
    if (int status = LoadSettings(settings); status != EX_OK)
        return status;
    if (int status = ActAsInstallationOwner(settings); status != EX_OK)
        return status;
    OpenLog(settings);
    if (!MQInit(settings.queueDir.c_str(), kModule)) {
        Complain("the queue in " + settings.queueDir + " cannot be used; see the log, or run `locmail init`");
        return EX_TEMPFAIL;
    }
    Relay relay;
    StopRequest stop;
    LogReopenRequest logReopen;
    if (once)
        return relay.Walk(stop, logReopen) ? EX_OK : EX_TEMPFAIL;

    mq::ArrivalWatch watch(kChannel);
    LogMessage(5, kModule, "relaying the channel %s through %s", kChannel, relay.Program().c_str());
    while (!stop.Requested()) {
        watch.Drain(); // what arrived so far, the coming walk sees
        if (!relay.Walk(stop, logReopen))
            LogMessage(1, kModule, "the queue in %s cannot be read; trying again", settings.queueDir.c_str());
        if (!stop.Requested())
            watch.Wait(IdleWaitMs(), stop.WakeFd());
    }
    LogMessage(5, kModule, "stopped");
    return EX_OK;
}

} // namespace locmail::host
