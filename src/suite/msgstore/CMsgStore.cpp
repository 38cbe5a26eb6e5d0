#include "suite/msgstore/CMsgStore.h"

#include "suite/db/SyncPoint.h"
#include "suite/msgstore/Accounts.h"
#include "suite/msgstore/Filing.h"
#include "suite/msgstore/FolderMaker.h"
#include "suite/msgstore/FolderPath.h"
#include "suite/msgstore/HeaderSplit.h"
#include "suite/msgstore/HomeName.h"
#include "suite/msgstore/OpResult.h"
#include "suite/msgstore/StatusDate.h"
#include "suite/msgstore/StoreCodes.h"
#include "suite/msgstore/StoreHome.h"
#include "suite/msgstore/UsersDirectory.h"
#include "suite/platform/Bounded.h"
#include "suite/platform/ConfigKeys.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>
#include <span>

using namespace locmail::msgstore;

namespace {

constexpr std::size_t kHomeDirBuffer = 1024;
constexpr const char* kDefaultFolder = "inbox";

struct Failure {
    int code;
    std::string text;
};

enum class Kind { Any, User, Shared };

std::string Quoted(std::string_view address) { return "<" + std::string(address) + ">"; }

std::optional<Failure> AddressFailure(const char* address)
{
    if (address == nullptr || *address == '\0')
        return Failure{kCodeBadAddress, "No recipient address given"};
    if (std::strlen(address) > kAddressMax)
        return Failure{kCodeBadAddress, "Recipient address longer than 1023 characters"};
    return std::nullopt;
}

// The receipt time as a status record, for a caller that passed none.
_msgstat StatNow(std::string_view text)
{
    _msgstat s;
    StampReceiptTime(s);
    s.headerSize = static_cast<std::uint32_t>(SplitFiledHeader(text).headerSize);
    return s;
}

std::string HomeDirSetting() { return locmail::config::ReadText(locmail::config::kStoreHome); }

} // namespace

struct CMsgStore::State {
    explicit State(std::string home) : storeHome(std::move(home)) {}

    std::optional<Failure> OpenUsers()
    {
        if (users)
            return std::nullopt;
        if (storeHome.empty())
            return Failure{kCodeStoreUnavailable, "Message store unavailable: [MsgStore] HomeDir is not set"};
        std::string error;
        users = UsersDirectory::OpenExisting(storeHome, error);
        if (!users)
            return Failure{kCodeStoreUnavailable, "Message store unavailable: " + error};
        return std::nullopt;
    }

    // A failed query may be a broken connection: the next call opens afresh.
    Failure DirectoryFailed()
    {
        Failure f{kCodeStoreUnavailable, "Message store unavailable: " + users->LastError()};
        users.reset();
        return f;
    }

    std::optional<Failure> Lookup(const char* address, Kind kind, Account& out)
    {
        if (auto bad = AddressFailure(address))
            return bad;
        if (auto unavailable = OpenUsers())
            return unavailable;
        // A user is found by the whole address only; a rule's "Support" may name a shared mailbox.
        const DirectoryResult r = kind == Kind::User ? users->Find(address, out) : users->FindRecipient(address, out);
        switch (r) {
        case DirectoryResult::Ok: break;
        case DirectoryResult::Failed: return DirectoryFailed();
        case DirectoryResult::Ambiguous:
            return Failure{kCodeUnknownSharedMailbox, Quoted(address) + " names more than one shared mailbox"};
        default:
            if (kind == Kind::Shared)
                return Failure{kCodeUnknownSharedMailbox, "Unknown shared mailbox " + Quoted(address)};
            return Failure{kCodeUnknownRecipient, "Unknown recipient " + Quoted(address)};
        }
        if (kind == Kind::User && out.shared)
            return Failure{kCodeUnknownRecipient, Quoted(address) + " is a shared mailbox, not a user"};
        if (kind == Kind::Shared && !out.shared)
            return Failure{kCodeUnknownSharedMailbox, Quoted(address) + " is a user, not a shared mailbox"};
        return std::nullopt;
    }

    // The account for a filing: the selected profile when it names the same one.
    std::optional<Failure> Resolve(const char* address, Kind kind, Account& out)
    {
        if (profileCode == 0 && address != nullptr && FoldAddress(address) == FoldAddress(profileKey)
            && profile.shared == (kind == Kind::Shared)) {
            out = profile;
            return std::nullopt;
        }
        return Lookup(address, kind, out);
    }

    // A home that is not as the store made it (missing, outside the store, a
    // link, not a directory) is damage an operator must look at: that
    // recipient waits (17), so nothing is returned for a store that could not be read.
    std::optional<Failure> HomePath(const Account& account, std::string& path)
    {
        auto home = HomePathOf(storeHome, account.home);
        if (!home)
            return Failure{kCodeMailboxUnavailable, "The users directory gives " + Quoted(account.address)
                                                        + " a home outside the store: " + account.home};
        const bool selected = profileCode == 0 && account.home == profile.home;
        if (selected && *home == checkedHome) {
            path = *home;
            return std::nullopt;
        }
        int err = 0;
        switch (CheckHome(*home, err)) {
        case HomeState::Ready:
            if (selected)
                checkedHome = *home;
            path = *home;
            return std::nullopt;
        case HomeState::Missing: // registered, so the store lost it: not an unknown recipient
            return Failure{kCodeMailboxUnavailable,
                           "The home directory " + *home + " of " + Quoted(account.address) + " does not exist"};
        case HomeState::KindFolderMissing:
            return Failure{kCodeStoreUnavailable, "Message store unavailable: the folder of the homes above " + *home
                                                      + " is missing"};
        case HomeState::NotADirectory:
            return Failure{kCodeMailboxUnavailable, "The home " + *home + " of " + Quoted(account.address)
                                                        + " (or the folder above it) is not a directory of the store"};
        case HomeState::Unreadable: break;
        }
        return Failure{CodeForErrno(err), "Cannot use the home directory " + *home + " of " + Quoted(account.address)
                                              + ": " + std::strerror(err)};
    }

    struct Filing {
        const char* folder;
        const char* text;
        unsigned long length;
        const mail_bodystruct* body;
        const mail_envelope* envelope;
        const _msgstat* stat;
        bool ownFlags;
        bool makeFolder;
    };

    // Finds the account ADDRESS names and files the message there.
    std::optional<Failure> ResolveAndFile(const char* address, Kind kind, const Filing& f)
    {
        Account account;
        if (auto failure = Resolve(address, kind, account))
            return failure;
        return File(account, f);
    }

    std::optional<Failure> File(const Account& account, const Filing& f)
    {
        if (f.text == nullptr && f.length > 0)
            return Failure{kCodeStoreUnavailable, "Message text missing (null with a length of "
                                                      + std::to_string(f.length) + ")"};
        std::string home;
        if (auto bad = HomePath(account, home))
            return bad;
        std::string folder = NormalizeFolderPath(f.folder != nullptr ? f.folder : "");
        if (folder.empty())
            folder = kDefaultFolder;
        const std::string where = "folder <" + folder + "> of " + Quoted(account.address);
        if (f.makeFolder) {
            mailbox mbx(&base, home.c_str(), "mailbox");
            MakeFolderResult made = EnsureFolder(mbx, storeHome, folder);
            if (!made.ok()) {
                int code = made.status == MakeFolderStatus::BadFolderPath ? kCodeBadFolderName : CodeForErrno(made.error);
                return Failure{code, "Cannot make " + where + ": " + made.detail};
            }
        }
        const std::string_view text(f.text != nullptr ? f.text : "", f.length);
        FilingRequest request;
        request.homeDir = home;
        request.folderPath = folder;
        request.text = text;
        request.stat = f.stat != nullptr ? *f.stat : StatNow(text);
        if (!f.ownFlags) {
            request.stat.systemFlags = 0;
            request.stat.userFlags = 0;
        }
        request.Describe(f.envelope, f.body);
        FilingResult result = FileIntoFolder(base, request);
        if (result.ok())
            return std::nullopt;
        checkedHome.clear(); // the next call looks at the home again, to tell what went wrong
        const int code = StoreExceptionCode(result);
        if (code == kCodeNoSuchFolder)
            return Failure{code, "Folder <" + folder + "> does not exist in the mailbox of " + Quoted(account.address)};
        return Failure{code, "Cannot file the message into " + where + ": " + FilingStatusName(result.status) + " ("
                                 + result.detail + ": " + std::strerror(result.error) + ")"};
    }

    std::string storeHome;
    diamondBase base;
    std::unique_ptr<UsersDirectory> users;

    // The recipient selected by SetProfile, the text it was selected by, and
    // the outcome of that lookup (0: found; else the code its calls throw).
    Account profile;
    std::string profileKey;
    int profileCode = kCodeBadAddress;
    std::string profileError = "No recipient selected";
    // The home found as the store made it since the recipient was selected: the
    // steps of one delivery ask for it several times, and it is looked at once.
    std::string checkedHome;
};

namespace {

[[noreturn]] void Raise(CLogging& self, const Failure& failure)
{
    self.SetLastError(failure.code);
    self.SetLastErrorMsg(failure.text.c_str());
    throw CMsgStoreException(failure.code, failure.text.c_str());
}

} // namespace

CMsgStore::CMsgStore() : CLogging("MsgStore"), m_state(std::make_unique<State>(HomeDirSetting())) {}

CMsgStore::CMsgStore(const char* storeHome)
    : CLogging("MsgStore"), m_state(std::make_unique<State>(storeHome != nullptr ? storeHome : ""))
{
}

CMsgStore::~CMsgStore() = default;

void CMsgStore::SetProfile(const char* address)
{
    State& s = *m_state;
    s.profile = Account{};
    s.checkedHome.clear();
    s.profileKey = address != nullptr ? address : "";
    if (auto failure = s.Lookup(address, Kind::Any, s.profile)) {
        s.profileCode = failure->code;
        s.profileError = failure->text;
    } else {
        s.profileCode = 0;
        s.profileError.clear();
    }
    SetLastError(s.profileCode);
    SetLastErrorMsg(s.profileError.c_str());
}

bool CMsgStore::IsShared()
{
    const State& s = *m_state;
    if (s.profileCode != 0)
        Raise(*this, Failure{s.profileCode, s.profileError});
    return s.profile.shared;
}

void CMsgStore::GetUserPermission(bool& mayLogin, bool& mayReceive)
{
    const State& s = *m_state;
    if (s.profileCode != 0)
        Raise(*this, Failure{s.profileCode, s.profileError});
    mayLogin = !s.profile.shared;
    mayReceive = s.profile.mayReceive;
}

void CMsgStore::GetUserHomeDir(char* homeDir)
{
    State& s = *m_state;
    if (s.profileCode != 0)
        Raise(*this, Failure{s.profileCode, s.profileError});
    if (homeDir == nullptr)
        Raise(*this, Failure{kCodeStoreUnavailable, "No buffer for the home directory"});
    std::string home;
    if (auto failure = s.HomePath(s.profile, home)) {
        homeDir[0] = '\0';
        Raise(*this, *failure);
    }
    if (locmail::CopyBounded(std::span<char>(homeDir, kHomeDirBuffer), home) == locmail::CopyResult::Truncated) {
        // A cut path would name another directory: refuse it.
        homeDir[0] = '\0';
        Raise(*this, Failure{kCodeStoreUnavailable, "The home directory of " + Quoted(s.profile.address)
                                                        + " is longer than 1023 characters: " + home});
    }
}

void CMsgStore::AddUserMsg(const char* user, mail_bodystruct* body, mail_envelope* envelope, _msgstat* stat,
                           const char* text, unsigned long length, const char* folder, bool ownFlags,
                           bool makeFolder)
{
    const State::Filing filing{folder, text, length, body, envelope, stat, ownFlags, makeFolder};
    if (auto failure = m_state->ResolveAndFile(user, Kind::User, filing))
        Raise(*this, *failure);
}

int CMsgStore::MakeDurable() { return locmail::db::SyncPoint(); }

void CMsgStore::AddSharedMsg(const char* mailbox, mail_bodystruct* body, mail_envelope* envelope, _msgstat* stat,
                             const char* text, unsigned long length, const char* folder, bool makeFolder)
{
    const State::Filing filing{folder, text, length, body, envelope, stat, false, makeFolder};
    if (auto failure = m_state->ResolveAndFile(mailbox, Kind::Shared, filing))
        Raise(*this, *failure);
}
