// locmail migrate --connector NAME --user OTHER (--maildir DIR | --mbox FILE) [--folder F]:
// imports a whole mailbox of another mail system into the store through the
// agent's direct delivery, each message with its flags and date, into F
// (default the inbox, made when missing) of the local user whom the directory
// names for OTHER on the connector NAME.
// Each message is filed under a delivery key made from the connector, the
// user, the folder and the message's identity in its source, so running the
// same import again recognises what the first run filed and adds nothing.
// Exit: 0 all imported (or there already); 65 some messages were skipped, each
// named on standard error; 66 the source cannot be read; 67 the directory
// knows no local user for OTHER; 75 the store or directory is unavailable
// (what was imported stays, and a second run goes on from there).
#include "delivery/CLocalMail.h"
#include "delivery/CLocalMailException.h"
#include "host/Commands.h"
#include "host/MailboxSource.h"
#include "host/MessageInput.h"
#include "host/StoreAccess.h"
#include "suite/ldap/ClientLookup.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/CMsgStoreException.h"
#include "suite/msgstore/DeliveryScope.h"
#include "suite/util/Sha256.h"

#include <sysexits.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>

namespace locmail::host {
namespace {

constexpr const char* kAgentModule = "LocalMail";
constexpr int kNoLocalUser = 11; // the agent's status: the directory names nobody
constexpr int kUnavailable = 1;  // the agent's status: directory or store unavailable

struct Tally {
    unsigned long imported = 0, already = 0, skipped = 0;
};

// The progress line on a terminal, rewritten at most four times a second.
class Progress {
public:
    Progress() : onTerminal_(::isatty(STDERR_FILENO) == 1) {}
    void Show(const MailboxSource& source, const Tally& tally)
    {
        const auto now = std::chrono::steady_clock::now();
        if (!onTerminal_ || now - shown_ < std::chrono::milliseconds(250))
            return;
        shown_ = now;
        const unsigned percent = source.Total() == 0 ? 100 : unsigned(100 * source.Done() / source.Total());
        std::fprintf(stderr, "\rmigrating: %u%%, %lu imported, %lu already there, %lu skipped", percent, tally.imported,
                     tally.already, tally.skipped);
    }
    void End() const
    {
        if (onTerminal_)
            std::fputs("\r\033[K", stderr);
    }

private:
    const bool onTerminal_;
    std::chrono::steady_clock::time_point shown_{};
};

std::string MigrationKey(const MigrateOptions& options, const std::string& folder, const std::string& identity)
{
    return "migrate-" + util::Sha256().Add(options.connector).Add(options.user).Add(folder).Add(identity).Hex();
}

void Skip(Tally& tally, const SourceMessage& message, const std::string& why)
{
    ++tally.skipped;
    std::fprintf(stderr, "locmail: skipped message %s: %s\n", message.identity.c_str(), why.c_str());
}

class Migration {
public:
    Migration(const MigrateOptions& options, std::string folder, CLocalMail& agent)
        : options_(options), folder_(std::move(folder)), agent_(agent)
    {
    }

    // EX_OK when every message was handled; else the status that ends the import.
    int Run(MailboxSource& source)
    {
        SourceMessage message;
        while (source.Next(message)) {
            progress_.Show(source, tally_);
            if (int status = Import(message); status != EX_OK) {
                progress_.End();
                return status;
            }
        }
        progress_.End();
        return EX_OK;
    }
    const Tally& Counts() const { return tally_; }

private:
    int Import(SourceMessage& message)
    {
        if (!message.error.empty()) {
            Skip(tally_, message, message.error);
            return EX_OK;
        }
        if (auto problem = MessageShapeProblem(message.text); !problem.empty()) {
            Skip(tally_, message, problem);
            return EX_OK;
        }
        msgstore::DeliveryScope scope(MigrationKey(options_, folder_, message.identity),
                                      options_.connector + "$" + options_.user);
        if (agent_.DeliverMessage(options_.user.c_str(), folder_.c_str(), message.text.data(), message.text.size(),
                                  options_.connector.c_str(), message.date.c_str(), message.flags.c_str())) {
            const bool replayed = !scope.filed().empty() && scope.filed().back().replayed;
            ++(replayed ? tally_.already : tally_.imported);
            return EX_OK;
        }
        switch (agent_.GetLastError()) {
        case kNoLocalUser:
            Complain("the directory names no local user for " + options_.user + " on the connector " +
                     options_.connector + " (an othermailbox value \"" + options_.connector + "$" + options_.user +
                     "\")");
            return EX_NOUSER;
        case kUnavailable:
            Complain(std::string("the store or the directory is unavailable: ") + agent_.GetLastErrorMsg() +
                     "; run the same command again later");
            return EX_TEMPFAIL;
        default: Skip(tally_, message, agent_.GetLastErrorMsg()); return EX_OK;
        }
    }

    const MigrateOptions& options_;
    const std::string folder_;
    CLocalMail& agent_;
    Tally tally_;
    Progress progress_;
};

std::unique_ptr<MailboxSource> OpenSource(const MigrateOptions& options)
{
    std::string error;
    auto source = options.maildir.empty() ? MailboxSource::OpenMbox(options.mbox, error)
                                          : MailboxSource::OpenMaildir(options.maildir, error);
    if (!source)
        Complain("cannot read the mailbox: " + error);
    return source;
}

} // namespace

int RunMigrate(const MigrateOptions& options)
{
    StoreAccess access;
    if (int status = OpenStore(access); status != EX_OK)
        return status;
    std::unique_ptr<MailboxSource> source = OpenSource(options);
    if (!source)
        return EX_NOINPUT;
    const std::string folder = options.folder.empty() ? std::string("inbox") : FolderArgument(options.folder);

    std::unique_ptr<CMsgStore> store;
    std::unique_ptr<CLocalMail> agent;
    try {
        store = std::make_unique<CMsgStore>();
        store->GetLDAP().SetLookup(std::make_unique<ldap::ClientLookup>());
        agent = std::make_unique<CLocalMail>(*store, access.settings.queueDir.c_str(), kAgentModule);
    } catch (const CMsgStoreException& e) {
        Complain(std::string("cannot open the message store: ") + e.GetMessage());
        return EX_TEMPFAIL;
    } catch (const CLocalMailException& e) {
        Complain(std::string("cannot start the delivery agent: ") + e.GetLastErrorMsg());
        return EX_TEMPFAIL;
    }
    const auto start = std::chrono::steady_clock::now();
    Migration migration(options, folder, *agent);
    const int status = migration.Run(*source);
    // What was filed is durable before we say so, also when the import stopped early.
    if (store->MakeDurable() != 0) {
        Complain("cannot make the message store durable; run the same command again");
        return EX_TEMPFAIL;
    }
    const Tally& t = migration.Counts();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("imported %lu, already there %lu, skipped %lu in %.1f s\n", t.imported, t.already, t.skipped, seconds);
    if (status != EX_OK)
        return status;
    return t.skipped == 0 ? EX_OK : EX_DATAERR;
}

} // namespace locmail::host
