// locmail inject -f SENDER RCPT...: queues the message on standard input for the
// local recipients, as the mail server hands mail to local delivery.
#include "host/Commands.h"
#include "host/MessageInput.h"
#include "host/Settings.h"
#include "suite/log/LogMessage.h"
#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/NewEntry.h"
#include "suite/platform/Files.h"
#include "suite/platform/UniqueFd.h"

#include <CLI/CLI.hpp>

#include <fcntl.h>
#include <sysexits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Queue";
constexpr const char* kChannel = "local";

struct InjectOptions {
    std::string sender;
    std::vector<std::string> recipients;
};

// DiscardMQEntry unless the entry was handed to CloseMQEntry, which frees it either way.
struct EntryGuard {
    MQContext* entry;
    ~EntryGuard()
    {
        if (entry)
            DiscardMQEntry(entry);
    }
    MQContext* Commit() { return std::exchange(entry, nullptr); }
};

bool WriteText(const char* path, const std::string& text)
{
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    return fd && WriteAll(fd.get(), text) && ::close(fd.release()) == 0;
}

int CheckAddresses(const InjectOptions& options)
{
    if (auto problem = AddressProblem(options.sender, true); !problem.empty()) {
        Complain("sender '" + options.sender + "': " + problem);
        return EX_DATAERR;
    }
    for (const auto& rcpt : options.recipients) {
        if (auto problem = AddressProblem(rcpt, false); !problem.empty()) {
            Complain("recipient '" + rcpt + "': " + problem);
            return EX_DATAERR;
        }
    }
    return EX_OK;
}

int Queue(const Settings& settings, const InjectOptions& options, const std::string& text)
{
    if (!MQInit(settings.queueDir.c_str(), kModule)) {
        Complain("the queue in " + settings.queueDir + " cannot be used; see the log, or run `locmail init`");
        return EX_TEMPFAIL;
    }
    EntryGuard guard{CreateMQEntry()};
    if (!guard.entry) {
        Complain("cannot create a queue entry in " + settings.queueDir + "; see the log");
        return EX_TEMPFAIL;
    }
    const char* path = GetMQPathName(guard.entry, ".msg");
    if (!path || !WriteText(path, text)) {
        Complain(std::string("cannot write the message into the queue: ") + std::strerror(errno));
        return EX_TEMPFAIL;
    }
    mq::EnvelopeBuilder envelope;
    envelope.AddSender(options.sender, kChannel);
    for (const auto& rcpt : options.recipients)
        envelope.AddRecipient(rcpt, kChannel);
    if (!InsertMQChannel(guard.entry, kChannel, 255) || !PutMQEnvelope(guard.entry, envelope.Envelope())) {
        Complain("cannot queue the message; see the log");
        return EX_TEMPFAIL;
    }
    uint32_t id = guard.entry->entry ? guard.entry->entry->Id() : 0;
    if (!CloseMQEntry(guard.Commit())) {
        Complain("cannot commit the queue entry; see the log");
        return EX_TEMPFAIL;
    }
    LogMessage(5, kModule, "queued <%X> from <%s> for %zu recipient(s), %zu bytes", id,
               options.sender.c_str(), options.recipients.size(), text.size());
    if (std::memchr(text.data(), '\0', text.size()))
        LogMessage(2, kModule, "queued <%X> contains NUL bytes", id);
    return EX_OK;
}

int RunInject(const InjectOptions& options)
{
    if (int status = CheckAddresses(options); status != EX_OK)
        return status;
    Settings settings = ReadSettings();
    if (!FileExists(settings.configFile)) {
        Complain("no configuration file at " + settings.configFile +
                 "; run `locmail init DIR` and set LOCMAIL_CONFIG or --config");
        return EX_CONFIG;
    }
    OpenLog(settings);

    std::string raw;
    if (!ReadAllFrom(STDIN_FILENO, raw)) {
        Complain(std::string("cannot read the message from standard input: ") + std::strerror(errno));
        return EX_IOERR;
    }
    if (raw.empty()) {
        Complain("no message on standard input");
        return EX_NOINPUT;
    }
    return Queue(settings, options, ToCrlfLines(raw));
}

} // namespace

void AddInjectCommand(CLI::App& app, int& exitCode)
{
    auto* cmd = app.add_subcommand("inject", "queue the message on standard input for local delivery");
    auto options = std::make_shared<InjectOptions>();
    cmd->add_option("-f", options->sender, "envelope sender (\"\" for the null reverse path)")->required();
    cmd->add_option("RCPT", options->recipients, "recipient addresses")->required();
    cmd->callback([options, &exitCode] { exitCode = RunInject(*options); });
}

} // namespace locmail::host
