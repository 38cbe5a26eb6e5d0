// The subcommands of the locmail command: what each one is given and the
// function that carries it out, returning its sysexits status. Only main.cpp
// knows the command line; these never see it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::host {

// OWNER empty: the caller, or the owner of an installation made before.
struct InitOptions {
    std::string dir;
    std::string owner;
};
int RunInit(const InitOptions& options);

struct InjectOptions {
    std::string sender;
    std::vector<std::string> recipients;
};
int RunInject(const InjectOptions& options);

int RunQueueList(bool json);
int RunQueueShow(const std::string& id);
int RunQueueRelease(const std::string& id);
int RunQueueRemove(const std::string& id);
int RunQueueHold(const std::string& id);
int RunQueueFlush();

int RunDelivery(bool once);
int RunRelay(bool once);

// SOCKET empty: [Lmtp] Socket, else lmtp.sock in the queue directory; LISTEN empty: no TCP.
struct LmtpOptions {
    std::string socket;
    std::string listen;
};
int RunLmtp(const LmtpOptions& options);

// A user, or (SHARED) a shared mailbox.
struct AccountOptions {
    std::string address;
    std::string name;
    bool noReceive = false;
    bool purge = false;
};
int RunAccountAdd(const AccountOptions& options, bool shared);
int RunAccountList(bool shared, bool json);
int RunAccountRemove(const AccountOptions& options, bool shared);

struct StoreOptions {
    std::string address;
    std::string folder;
    std::uint32_t uid = 0;
    bool json = false;
};
int RunStoreList(const StoreOptions& options);
int RunStoreShow(const StoreOptions& options);

// Exactly one of MAILDIR and MBOX; no FOLDERS: every folder, the inbox first.
struct ExportOptions {
    std::string address;
    std::vector<std::string> folders;
    std::string maildir;
    std::string mbox;
    bool force = false;
};
int RunStoreExport(const ExportOptions& options);

// Exactly one of MAILDIR and MBOX; FOLDER empty: the inbox.
struct MigrateOptions {
    std::string connector;
    std::string user;
    std::string maildir;
    std::string mbox;
    std::string folder;
};
int RunMigrate(const MigrateOptions& options);

struct RulesOptions {
    std::string address;
    std::string file;
};
int RunRulesCheck(const RulesOptions& options);
int RunRulesSet(const RulesOptions& options);
int RunRulesShow(const RulesOptions& options);
int RunRulesRemove(const RulesOptions& options);

struct ExplainOptions {
    std::string address;
    std::string sender;
};
int RunExplain(const ExplainOptions& options);

// Exactly one of SPAM and HAM; UNLEARN takes the verdict back.
struct LearnOptions {
    std::string address;
    std::string folder;
    std::vector<std::uint32_t> uids;
    bool spam = false;
    bool ham = false;
    bool unlearn = false;
};
int RunLearn(const LearnOptions& options);

} // namespace locmail::host
