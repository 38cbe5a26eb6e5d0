// The callbacks that c-client requires of its application, and the library lock.
//
// We open no mailboxes and no network streams, so only the text callbacks can
// fire: they go to the suite log under the module "c-client" (errors at level 1,
// warnings at 2, everything else at 6). The stream events are ignored. The
// callbacks keep default visibility so that libc-client.so binds to them even
// when this code sits inside a library built with hidden symbols.
#include "suite/log/LogMessage.h"
#include "suite/platform/Export.h"

#include <cstring>
#include <string>

#include "suite/cclient/CClientApi.h"

#define LOCMAIL_CCLIENT_CALLBACK extern "C" LOCMAIL_EXPORT

namespace {

constexpr const char* kModule = "c-client";

int LevelFor(long errflg)
{
    switch (errflg) {
    case ERROR:
        return 1;
    case WARN:
        return 2;
    default:
        return 6;
    }
}

// c-client messages quote pieces of the message being parsed: keep control
// characters out of the log so one bad header cannot forge log lines.
std::string Sanitized(const char* text)
{
    std::string out(text ? text : "");
    for (char& c : out) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            c = '?';
    }
    return out;
}

void Log(int level, const char* text) { LogMessage(level, kModule, "%s", Sanitized(text).c_str()); }

} // namespace

namespace locmail::cclient::detail {
namespace {

// c-client's own block notifier saves and clears the process's alarm timer
// around every allocation (two system calls per fs_get and fs_give), for
// servers that run on alarms. This process has none: notice nothing.
void* IgnoreBlocking(int, void*) { return nullptr; }

} // namespace

std::unique_lock<std::mutex> LockLibrary()
{
    static std::mutex mutex;
    std::unique_lock<std::mutex> lock(mutex);
    static const bool quiet = mail_parameters(nullptr, SET_BLOCKNOTIFY, reinterpret_cast<void*>(&IgnoreBlocking));
    (void)quiet;
    return lock;
}

} // namespace locmail::cclient::detail

LOCMAIL_CCLIENT_CALLBACK void mm_log(char* string, long errflg) { Log(LevelFor(errflg), string); }

LOCMAIL_CCLIENT_CALLBACK void mm_dlog(char* string) { Log(6, string); }

LOCMAIL_CCLIENT_CALLBACK void mm_notify(MAILSTREAM*, char* string, long errflg) { Log(LevelFor(errflg), string); }

LOCMAIL_CCLIENT_CALLBACK void mm_fatal(char* string) { Log(1, string); }

LOCMAIL_CCLIENT_CALLBACK long mm_diskerror(MAILSTREAM*, long errcode, long)
{
    LogMessage(1, kModule, "Disk error: %s", std::strerror(static_cast<int>(errcode)));
    return 1; // abort the operation rather than retry forever
}

// No credentials are ever handed to c-client.
LOCMAIL_CCLIENT_CALLBACK void mm_login(NETMBX*, char* user, char* pwd, long)
{
    if (user)
        user[0] = '\0';
    if (pwd)
        pwd[0] = '\0';
}

LOCMAIL_CCLIENT_CALLBACK void mm_searched(MAILSTREAM*, unsigned long) {}
LOCMAIL_CCLIENT_CALLBACK void mm_exists(MAILSTREAM*, unsigned long) {}
LOCMAIL_CCLIENT_CALLBACK void mm_expunged(MAILSTREAM*, unsigned long) {}
LOCMAIL_CCLIENT_CALLBACK void mm_flags(MAILSTREAM*, unsigned long) {}
LOCMAIL_CCLIENT_CALLBACK void mm_list(MAILSTREAM*, int, char*, long) {}
LOCMAIL_CCLIENT_CALLBACK void mm_lsub(MAILSTREAM*, int, char*, long) {}
LOCMAIL_CCLIENT_CALLBACK void mm_status(MAILSTREAM*, char*, MAILSTATUS*) {}
LOCMAIL_CCLIENT_CALLBACK void mm_critical(MAILSTREAM*) {}
LOCMAIL_CCLIENT_CALLBACK void mm_nocritical(MAILSTREAM*) {}
