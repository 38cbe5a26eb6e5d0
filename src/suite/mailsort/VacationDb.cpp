// The vacation database: "vacation.db" in the user's home, one row per sender
// and vacation handle with the time of the last reply, and the reply text the
// agent reads ("vacation.reply", subject line, empty line, reason).
#include "suite/mailsort/CMailsort.h"

#include "suite/db/Connection.h"
#include "suite/mailsort/CMailsortException.h"
#include "suite/mailsort/Mailsort.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/CMsgStoreException.h"
#include "suite/platform/Files.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kVacationDb = "vacation.db";
constexpr const char* kReplyFile = "vacation.reply";
constexpr long kSecondsPerDay = 86400;
constexpr int kCodeVacationDb = 20;

const locmail::db::Schema kVacationSchema{
    "vacation", 1,
    "CREATE TABLE replied(sender TEXT NOT NULL, handle TEXT NOT NULL, at INTEGER NOT NULL,"
    " PRIMARY KEY(sender, handle)) WITHOUT ROWID"};

std::string Folded(const char* address)
{
    std::string text = address ? address : "";
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The :handle, or, without one, the reply's subject and reason: a changed
// vacation text answers everyone again (RFC 5230 section 4.2).
std::string Handle()
{
    const auto& args = mailsort.getVacation();
    if (!args)
        return "";
    return args->handle.empty() ? args->subject + "\n" + args->reason : args->handle;
}

// SQL on the connection with SENDER (folded) and the current handle bound as ?1 and ?2.
sqlite3_stmt* SenderStatement(locmail::db::Connection& db, const char* sql, const char* sender)
{
    sqlite3_stmt* statement = db.Statement(sql);
    if (statement == nullptr)
        throw CMailsortException(kCodeVacationDb, db.LastError().c_str());
    const std::string folded = Folded(sender);
    const std::string handle = Handle();
    sqlite3_bind_text(statement, 1, folded.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, handle.c_str(), -1, SQLITE_TRANSIENT);
    return statement;
}

long Days()
{
    const auto& args = mailsort.getVacation();
    return args ? std::max(args->days, 1) : 7;
}

} // namespace

std::string CMailsort::VacationPath(const char* file)
{
    if (m_homeDir[0] == '\0' && m_store) {
        char home[1024] = {};
        m_store->GetUserHomeDir(home);
        home[sizeof home - 1] = '\0';
        if (std::strlen(home) < sizeof m_homeDir)
            std::strcpy(m_homeDir, home);
    }
    if (m_homeDir[0] == '\0')
        throw CMailsortException(kCodeVacationDb, "No home directory for the vacation database");
    return locmail::PathJoin(m_homeDir, file);
}

std::unique_ptr<locmail::db::Connection> CMailsort::OpenVacationDb()
{
    std::string error;
    auto connection = locmail::db::Connection::Open(VacationPath(kVacationDb), kVacationSchema, error);
    if (!connection)
        throw CMailsortException(kCodeVacationDb, ("Vacation database: " + error).c_str());
    return connection;
}

bool CMailsort::IsVacationDbExist(const char*, bool)
{
    struct stat info {};
    return ::stat(VacationPath(kVacationDb).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void CMailsort::CreateVacationDb(const char*, bool)
{
    try {
        OpenVacationDb();
    } catch (const CMailsortException& error) {
        throw CMsgStoreException(error.GetLastError(), error.GetLastErrorMsg());
    }
}

bool CMailsort::IsVacationReply(const char*, const char* sender, long now, bool)
{
    if (sender == nullptr || *sender == '\0')
        return false;
    auto db = OpenVacationDb();
    sqlite3_stmt* query = SenderStatement(*db, "SELECT at FROM replied WHERE sender = ?1 AND handle = ?2", sender);
    const int step = sqlite3_step(query);
    const long last = step == SQLITE_ROW ? static_cast<long>(sqlite3_column_int64(query, 0)) : 0;
    sqlite3_reset(query);
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        throw CMailsortException(kCodeVacationDb, db->LastError().c_str());
    return step == SQLITE_DONE || now - last >= Days() * kSecondsPerDay || now < last;
}

void CMailsort::UpdateVacationRecip(const char*, const char* sender, long now, bool)
{
    auto db = OpenVacationDb();
    sqlite3_stmt* update =
        SenderStatement(*db, "INSERT OR REPLACE INTO replied(sender, handle, at) VALUES(?1, ?2, ?3)", sender);
    sqlite3_bind_int64(update, 3, now);
    const int step = sqlite3_step(update);
    sqlite3_reset(update);
    if (step != SQLITE_DONE)
        throw CMailsortException(kCodeVacationDb, db->LastError().c_str());
}

// Writes the last evaluation's reply (subject, empty line, reason) and names
// the file; a vacation without a reason leaves the file empty.
void CMailsort::GetVacationFile(const char*, char* path, bool)
{
    const std::string target = VacationPath(kReplyFile);
    if (target.size() >= kVacationPathSize)
        throw CMailsortException(kCodeVacationDb, "Vacation reply path too long");
    const auto& args = mailsort.getVacation();
    const std::string temporary = target + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (args && !args->reason.empty())
            out << (args->subject.empty() ? std::string("Automatic reply") : args->subject) << "\n\n"
                << args->reason;
        if (!out.flush())
            throw CMailsortException(kCodeVacationDb, ("Cannot write " + temporary).c_str());
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0)
        throw CMailsortException(kCodeVacationDb, ("Cannot write " + target).c_str());
    std::strcpy(path, target.c_str());
}
