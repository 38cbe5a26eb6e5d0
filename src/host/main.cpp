// locmail: the host of the delivery agent and the operator's tool around it.
// This is the one file that knows the command line (CLI11 is costly to compile).
#include "host/Commands.h"
#include "host/LogReopen.h"
#include "host/StopRequest.h"
#include "suite/platform/Config.h"

#include <CLI/CLI.hpp>

#include <sysexits.h>

#include <string>
#include <string_view>

namespace {

using namespace locmail::host;

// What the chosen subcommand was given; the parser writes into it, so it outlives the parse.
struct Requests {
    InitOptions init;
    InjectOptions inject;
    std::string queueId;
    bool once = false;
    bool json = false;
    AccountOptions accountAdd[2], accountRemove[2];
    StoreOptions storeList, storeShow;
    ExportOptions storeExport;
    MigrateOptions migrate;
    RulesOptions rules;
    ExplainOptions explain;
    LearnOptions learn;
    LmtpOptions lmtp;
};

// The subcommand: the first argument that is neither an option nor the value of --config.
std::string_view Subcommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--config")
            ++i;
        else if (!arg.starts_with("-"))
            return arg;
    }
    return {};
}

void AddMessageCommands(CLI::App& app, Requests& r, int& exitCode)
{
    auto* init = app.add_subcommand("init", "make a working installation in DIR");
    init->add_option("DIR", r.init.dir, "installation directory")->required();
    init->add_option("--owner", r.init.owner, "the user the installation belongs to and the service runs as");
    init->callback([&] { exitCode = RunInit(r.init); });

    auto* inject = app.add_subcommand("inject", "queue the message on standard input for local delivery");
    inject->add_option("-f", r.inject.sender, "envelope sender (\"\" for the null reverse path)")->required();
    inject->add_option("RCPT", r.inject.recipients, "recipient addresses")->required();
    inject->callback([&] { exitCode = RunInject(r.inject); });

    auto* queue = app.add_subcommand("queue", "look at the message queue");
    queue->require_subcommand(1);
    auto* ls = queue->add_subcommand("ls", "list the queued and the held messages");
    ls->add_flag("--json", r.json, "print a JSON array of objects");
    ls->callback([&] { exitCode = RunQueueList(r.json); });
    auto* show = queue->add_subcommand("show", "one queued or held message: envelope, header and log lines");
    show->add_option("ID", r.queueId, "the message's id, as `queue ls` shows it")->required();
    show->callback([&] { exitCode = RunQueueShow(r.queueId); });
    auto* remove = queue->add_subcommand("rm", "remove a queued or held message (refused while a run has it)");
    remove->add_option("ID", r.queueId, "the message's id")->required();
    remove->callback([&] { exitCode = RunQueueRemove(r.queueId); });
    auto* hold = queue->add_subcommand("hold", "keep a queued message out of delivery until released");
    hold->add_option("ID", r.queueId, "the message's id")->required();
    hold->callback([&] { exitCode = RunQueueHold(r.queueId); });
    auto* release = queue->add_subcommand("release", "put a held message back for delivery");
    release->add_option("ID", r.queueId, "the held message's id, as `queue ls` shows it")->required();
    release->callback([&] { exitCode = RunQueueRelease(r.queueId); });
    queue->add_subcommand("flush", "make every deferred recipient due now")->callback([&] {
        exitCode = RunQueueFlush();
    });

    auto* run = app.add_subcommand("run", "deliver the queued messages: until the queue is empty, or for ever");
    run->add_flag("--once", r.once, "stop when the queue is empty (EX_TEMPFAIL when the store is unavailable)");
    run->callback([&] { exitCode = RunDelivery(r.once); });

    auto* relay = app.add_subcommand("relay", "hand the mail locmail sends (returned mail) to the system's MTA");
    relay->add_flag("--once", r.once, "stop when nothing more is due");
    relay->callback([&] { exitCode = RunRelay(r.once); });

    auto* lmtp = app.add_subcommand("lmtp", "an LMTP server for the MTA, which also delivers what is queued"
                                            " (in place of `run`)");
    lmtp->add_option("--socket", r.lmtp.socket, "the Unix socket (default: [Lmtp] Socket)");
    lmtp->add_option("--listen", r.lmtp.listen, "also listen on this TCP address, HOST:PORT");
    lmtp->callback([&] { exitCode = RunLmtp(r.lmtp); });
}

void AddAccountCommands(CLI::App& app, Requests& r, int& exitCode, bool shared)
{
    const std::string kind = shared ? "shared mailbox" : "user";
    auto* group = app.add_subcommand(shared ? "shared" : "user",
                                     shared ? "manage the shared mailboxes of the store" : "manage the users of the store");
    group->require_subcommand(1);

    AccountOptions& add = r.accountAdd[shared];
    auto* addCmd = group->add_subcommand("add", "add a " + kind + " with its home and inbox");
    addCmd->add_option(shared ? "NAME" : "ADDRESS", add.address, shared ? "name or address" : "mail address")
        ->required();
    if (!shared) {
        addCmd->add_option("--name", add.name, "display name");
        addCmd->add_flag("--no-receive", add.noReceive, "the user may not receive mail now (mail is returned)");
    }
    addCmd->callback([&add, shared, &exitCode] { exitCode = RunAccountAdd(add, shared); });

    auto* list = group->add_subcommand("list", "list the " + kind + "s");
    list->add_flag("--json", r.json, "print a JSON array of objects");
    list->callback([shared, &r, &exitCode] { exitCode = RunAccountList(shared, r.json); });

    AccountOptions& remove = r.accountRemove[shared];
    auto* removeCmd = group->add_subcommand("remove", "remove a " + kind + " (its mail stays on disk)");
    removeCmd->add_option(shared ? "NAME" : "ADDRESS", remove.address, "as registered (any case)")->required();
    removeCmd->add_flag("--purge", remove.purge, "also delete the home and all its mail");
    removeCmd->callback([&remove, shared, &exitCode] { exitCode = RunAccountRemove(remove, shared); });
}

void AddStoreCommands(CLI::App& app, Requests& r, int& exitCode)
{
    auto* store = app.add_subcommand("store", "look into the mailboxes of the message store");
    store->require_subcommand(1);

    auto* ls = store->add_subcommand("ls", "the folders of a mailbox, or the messages of one folder");
    ls->add_option("ADDRESS", r.storeList.address, "user or shared mailbox")->required();
    ls->add_option("FOLDER", r.storeList.folder, "folder path, levels separated by '/' or '\\'");
    ls->add_flag("--json", r.storeList.json, "print a JSON array of objects");
    ls->callback([&] { exitCode = RunStoreList(r.storeList); });

    auto* show = store->add_subcommand("show", "one message exactly as it was filed");
    show->add_option("ADDRESS", r.storeShow.address, "user or shared mailbox")->required();
    show->add_option("FOLDER", r.storeShow.folder, "folder path")->required();
    show->add_option("UID", r.storeShow.uid, "the message's UID (see `locmail store ls`)")
        ->required()
        ->check(CLI::Range(1u, 4294967294u));
    show->callback([&] { exitCode = RunStoreShow(r.storeShow); });

    auto* exp = store->add_subcommand("export", "a mailbox's messages as filed, as a Maildir++ tree or an mbox file");
    exp->add_option("ADDRESS", r.storeExport.address, "user or shared mailbox")->required();
    exp->add_option("FOLDER", r.storeExport.folders, "folder paths (default: every folder, the inbox first)");
    auto* maildir = exp->add_option("--maildir", r.storeExport.maildir, "write a Maildir++ tree at DIR");
    auto* mbox = exp->add_option("--mbox", r.storeExport.mbox, "write one mbox file (mboxrd) at FILE");
    maildir->excludes(mbox);
    exp->add_flag("--force", r.storeExport.force, "replace what is at the target");
    exp->callback([&] { exitCode = RunStoreExport(r.storeExport); });

    auto* migrate = app.add_subcommand("migrate", "import a mailbox of another mail system (Maildir or mbox) into the"
                                                  " mailbox of the user the directory names for it");
    migrate->add_option("--connector", r.migrate.connector, "the other mail system's connector name")->required();
    migrate->add_option("--user", r.migrate.user, "the user's name in the other mail system")->required();
    auto* source = migrate->add_option_group("source", "the mailbox to import (exactly one)");
    source->add_option("--maildir", r.migrate.maildir, "read the Maildir at DIR");
    source->add_option("--mbox", r.migrate.mbox, "read the mbox file FILE (mboxrd)");
    source->require_option(1);
    migrate->add_option("--folder", r.migrate.folder, "file into this folder (default: the inbox)");
    migrate->callback([&] { exitCode = RunMigrate(r.migrate); });
}

void AddRulesCommands(CLI::App& app, Requests& r, int& exitCode)
{
    auto* group = app.add_subcommand("rules", "check and manage the users' filter files (Sieve)");
    group->require_subcommand(1);

    auto* check = group->add_subcommand("check", "check a Sieve script (exit 65 when it does not parse)");
    check->add_option("FILE", r.rules.file, "the script")->required();
    check->callback([&] { exitCode = RunRulesCheck(r.rules); });

    auto* set = group->add_subcommand("set", "check a script, then install it as the user's rules");
    set->add_option("ADDRESS", r.rules.address, "the user")->required();
    set->add_option("FILE", r.rules.file, "the script")->required();
    set->callback([&] { exitCode = RunRulesSet(r.rules); });

    auto* show = group->add_subcommand("show", "print the user's rules");
    show->add_option("ADDRESS", r.rules.address, "the user")->required();
    show->callback([&] { exitCode = RunRulesShow(r.rules); });

    auto* remove = group->add_subcommand("rm", "remove the user's rules (mail then goes to the inbox)");
    remove->add_option("ADDRESS", r.rules.address, "the user")->required();
    remove->callback([&] { exitCode = RunRulesRemove(r.rules); });

    auto* explain = app.add_subcommand("explain", "show what a user's rules would do with a message (standard input)"
                                                  " without filing or sending anything");
    explain->add_option("-f", r.explain.sender, "envelope sender");
    explain->add_option("ADDRESS", r.explain.address, "the recipient")->required();
    explain->callback([&] { exitCode = RunExplain(r.explain); });
}

void AddLearnCommand(CLI::App& app, Requests& r, int& exitCode)
{
    auto* learn = app.add_subcommand("learn", "train a user's spam filter on stored messages");
    auto* spam = learn->add_flag("--spam", r.learn.spam, "the messages are spam");
    auto* ham = learn->add_flag("--ham", r.learn.ham, "the messages are not spam");
    spam->excludes(ham);
    learn->add_flag("--unlearn", r.learn.unlearn, "take back an earlier --spam or --ham of the same messages");
    learn->add_option("ADDRESS", r.learn.address, "the user")->required();
    learn->add_option("FOLDER", r.learn.folder, "folder path, levels separated by '/' or '\\'")->required();
    learn->add_option("UID", r.learn.uids, "UIDs of the messages (see `locmail store ls`)")
        ->required()
        ->check(CLI::Range(1u, 4294967294u));
    learn->callback([&] { exitCode = RunLearn(r.learn); });
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything else, so that no stop signal kills `run` while it starts up.
    if (Subcommand(argc, argv) == "run" || Subcommand(argc, argv) == "relay" || Subcommand(argc, argv) == "lmtp") {
        HoldStopSignals();
        HoldLogReopenSignal();
    }
    CLI::App app{"locmail: local mail delivery agent"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "locmail " LOCMAIL_VERSION);
    std::string config;
    app.add_option("--config", config, "configuration file (when $LOCMAIL_CONFIG is not set)")
        ->each([](const std::string& path) { locmail::SetConfigOption(path); });

    Requests requests;
    int exitCode = EX_OK;
    AddMessageCommands(app, requests, exitCode);
    AddAccountCommands(app, requests, exitCode, false);
    AddAccountCommands(app, requests, exitCode, true);
    AddStoreCommands(app, requests, exitCode);
    AddRulesCommands(app, requests, exitCode);
    AddLearnCommand(app, requests, exitCode);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int status = app.exit(e);
        if (status == 0)
            return EX_OK;
        // A mail server turns 64 into a bounce; a slip in its call of inject is the operator's to fix.
        return Subcommand(argc, argv) == "inject" ? EX_TEMPFAIL : EX_USAGE;
    }
    return exitCode;
}
