// locmail rules check|set|show|rm: a user's filter file, rules.sieve in the
// user's home. A script is installed only after it parses, and atomically,
// so delivery never reads half a script.
#include "host/Commands.h"
#include "host/StoreAccess.h"
#include "suite/mailsort/ScriptError.h"
#include "suite/mailsort/ScriptFile.h"
#include "suite/mailsort/SieveParser.h"
#include "suite/platform/Files.h"

#include <sysexits.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace locmail::host {
namespace {

// EX_OK with the script's TEXT, or the status after telling why FILE cannot be used.
int ReadChecked(const std::string& file, std::string& text)
{
    using mailsort::ReadResult;
    switch (mailsort::ReadScriptFile(file, text)) {
    case ReadResult::Ok: break;
    case ReadResult::OpenFailed:
        Complain("cannot open " + file + ": " + (errno == EINVAL ? "not a regular file" : std::strerror(errno)));
        return EX_NOINPUT;
    case ReadResult::ReadFailed: Complain("cannot read " + file + ": " + std::strerror(errno)); return EX_IOERR;
    case ReadResult::TooLarge: Complain(file + " is too large for a filter file"); return EX_DATAERR;
    }
    std::vector<mailsort::ScriptError> errors;
    mailsort::ParseScript(text, errors);
    for (const auto& error : errors)
        std::fprintf(stderr, "%s:%d:%d: error: %s\n", file.c_str(), error.line(), error.column(), error.what());
    return errors.empty() ? EX_OK : EX_DATAERR;
}

// EX_OK with the path of ADDRESS's filter file; only users keep rules.
int RulesPath(const std::string& address, std::string& path)
{
    StoreAccess store;
    if (int status = OpenStore(store); status != EX_OK)
        return status;
    msgstore::Account account;
    std::string home;
    if (int status = FindMailbox(store, address, account, home); status != EX_OK)
        return status;
    if (account.shared) {
        Complain("'" + account.address + "' is a shared mailbox; only users keep rules");
        return EX_USAGE;
    }
    path = PathJoin(home, mailsort::kFilterFileName);
    return EX_OK;
}

} // namespace

int RunRulesCheck(const RulesOptions& options)
{
    std::string text;
    return ReadChecked(options.file, text);
}

int RunRulesSet(const RulesOptions& options)
{
    std::string text;
    if (int status = ReadChecked(options.file, text); status != EX_OK)
        return status;
    std::string path;
    if (int status = RulesPath(options.address, path); status != EX_OK)
        return status;
    if (!WriteFileAtomic(path, text, 0600)) {
        Complain("cannot install " + path + ": " + std::strerror(errno));
        return EX_CANTCREAT;
    }
    std::printf("rules of %s installed in %s\n", options.address.c_str(), path.c_str());
    return EX_OK;
}

int RunRulesShow(const RulesOptions& options)
{
    std::string path;
    if (int status = RulesPath(options.address, path); status != EX_OK)
        return status;
    std::string text;
    if (!ReadWholeFile(path, text)) {
        if (errno != ENOENT) {
            Complain("cannot read " + path + ": " + std::strerror(errno));
            return EX_IOERR;
        }
        Complain(options.address + " has no rules; install some with `locmail rules set " + options.address +
                 " FILE`");
        return EX_NOINPUT;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return EX_OK;
}

int RunRulesRemove(const RulesOptions& options)
{
    std::string path;
    if (int status = RulesPath(options.address, path); status != EX_OK)
        return status;
    if (::unlink(path.c_str()) != 0) {
        if (errno != ENOENT) {
            Complain("cannot remove " + path + ": " + std::strerror(errno));
            return EX_CANTCREAT;
        }
        std::printf("%s had no rules\n", options.address.c_str());
        return EX_OK;
    }
    const std::string home = path.substr(0, path.rfind('/'));
    if (!FsyncDirectory(home)) {
        Complain("removed " + path + ", but cannot make that durable: " + std::strerror(errno));
        return EX_IOERR;
    }
    std::printf("rules of %s removed\n", options.address.c_str());
    return EX_OK;
}

} // namespace locmail::host
