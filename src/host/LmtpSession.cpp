#include "host/LmtpSession.h"

#include "host/LmtpConnection.h"
#include "host/LmtpKey.h"
#include "host/LmtpReply.h"
#include "host/MessageInput.h"
#include "suite/log/LogMessage.h"
#include "suite/mq/QueueText.h"
#include "suite/msgstore/HomeName.h"
#include "suite/msgstore/UsersDirectory.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace locmail::host {
namespace {

constexpr const char* kModule = "Lmtp";
constexpr const char* kChannel = "local";
constexpr std::size_t kCommandMax = 510; // 512 octets with CR LF
constexpr std::size_t kRecipientsMax = 1000;

bool StartsWithWord(std::string_view line, std::string_view word)
{
    return line.size() >= word.size() && strncasecmp(line.data(), word.data(), word.size()) == 0 &&
           (line.size() == word.size() || line[word.size()] == ' ');
}

std::string_view Rest(std::string_view line, std::size_t from)
{
    line.remove_prefix(std::min(from, line.size()));
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    return line;
}

// "FROM:<path> params" or "TO:<path> params": the path's address and the parameters.
bool SplitPath(std::string_view args, std::string_view keyword, std::string& address, std::string_view& params)
{
    if (args.size() < keyword.size() || strncasecmp(args.data(), keyword.data(), keyword.size()) != 0)
        return false;
    args = Rest(args, keyword.size());
    if (args.empty() || args.front() != '<')
        return false;
    std::size_t close = args.find('>');
    if (close == std::string_view::npos)
        return false;
    address.assign(args.substr(1, close - 1));
    params = Rest(args, close + 1);
    return params.empty() || args[close + 1] == ' ';
}

class Session {
public:
    Session(UniqueFd socket, const LmtpSessionContext& context)
        : context_(context), connection_(std::move(socket), context.timeoutSeconds)
    {
    }
    void Run();

private:
    bool Command(std::string_view line);
    void Lhlo(std::string_view args);
    void Mail(std::string_view args);
    void Rcpt(std::string_view args);
    void Data();
    // False when the client went away before the final dot.
    bool ReadText(std::string& text, bool& tooLarge);
    void Deliver(const std::string& text);
    void ReplyToEach(std::string_view line);
    void Reset();
    std::optional<bool> KnownRecipient(const std::string& address);

    const LmtpSessionContext& context_;
    LmtpConnection connection_;
    std::unique_ptr<msgstore::UsersDirectory> users_;
    bool greeted_ = false;
    std::optional<std::string> sender_;
    std::vector<std::string> recipients_; // accepted, in RCPT order
    bool ended_ = false;
};

void Session::Reset()
{
    sender_.reset();
    recipients_.clear();
}

void Session::Run()
{
    connection_.Reply("220 " + context_.hostName + " LMTP locmail ready");
    std::string line;
    while (!ended_) {
        switch (connection_.ReadLine(line, kCommandMax, context_.closingFd)) {
        case LmtpConnection::Read::Line: ended_ = !Command(line); break;
        case LmtpConnection::Read::TooLong: connection_.Reply("500 5.5.2 Line too long"); break;
        case LmtpConnection::Read::Timeout:
            connection_.Reply("421 4.4.2 " + context_.hostName + " Timeout; closing the connection");
            ended_ = true;
            break;
        case LmtpConnection::Read::Closing:
            connection_.Reply("421 4.3.2 " + context_.hostName + " Shutting down; closing the connection");
            ended_ = true;
            break;
        case LmtpConnection::Read::Closed: return;
        }
    }
    connection_.Flush();
}

// False when the session ends.
bool Session::Command(std::string_view line)
{
    if (StartsWithWord(line, "LHLO"))
        Lhlo(Rest(line, 4));
    else if (StartsWithWord(line, "MAIL"))
        Mail(Rest(line, 4));
    else if (StartsWithWord(line, "RCPT"))
        Rcpt(Rest(line, 4));
    else if (StartsWithWord(line, "DATA"))
        Data();
    else if (StartsWithWord(line, "RSET")) {
        Reset();
        connection_.Reply("250 2.0.0 OK");
    }
    else if (StartsWithWord(line, "NOOP"))
        connection_.Reply("250 2.0.0 OK");
    else if (StartsWithWord(line, "VRFY"))
        connection_.Reply("252 2.5.2 Cannot verify the user; send the mail and see");
    else if (StartsWithWord(line, "QUIT")) {
        connection_.Reply("221 2.0.0 " + context_.hostName + " closing the connection");
        return false;
    }
    else if (StartsWithWord(line, "HELO") || StartsWithWord(line, "EHLO"))
        connection_.Reply("500 5.5.1 This is an LMTP server; use LHLO");
    else
        connection_.Reply("500 5.5.1 Command not recognised");
    return true;
}

void Session::Lhlo(std::string_view args)
{
    if (args.empty()) {
        connection_.Reply("501 5.5.4 LHLO needs the client's name");
        return;
    }
    Reset();
    greeted_ = true;
    connection_.Reply("250-" + context_.hostName);
    connection_.Reply("250-PIPELINING");
    connection_.Reply("250-8BITMIME");
    connection_.Reply("250-ENHANCEDSTATUSCODES");
    connection_.Reply("250 SIZE " + std::to_string(context_.maxMessageBytes));
}

void Session::Mail(std::string_view args)
{
    if (!greeted_)
        return connection_.Reply("503 5.5.1 Send LHLO first");
    if (sender_)
        return connection_.Reply("503 5.5.1 A transaction is in progress; send RSET first");
    std::string address;
    std::string_view params;
    if (!SplitPath(args, "FROM:", address, params))
        return connection_.Reply("501 5.5.4 Syntax: MAIL FROM:<address> [SIZE=n] [BODY=7BIT|8BITMIME]");
    while (!params.empty()) {
        std::string_view param = params.substr(0, params.find(' '));
        params = Rest(params, param.size());
        if (param.size() > 5 && strncasecmp(param.data(), "SIZE=", 5) == 0) {
            std::string digits(param.substr(5));
            if (digits.empty() || digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
                return connection_.Reply("501 5.5.4 SIZE needs a number");
            if (std::stoull(digits) > context_.maxMessageBytes)
                return connection_.Reply("552 5.3.4 Message too large; at most " +
                                         std::to_string(context_.maxMessageBytes) + " bytes");
        }
        else if (strcasecmp(std::string(param).c_str(), "BODY=7BIT") != 0 &&
                 strcasecmp(std::string(param).c_str(), "BODY=8BITMIME") != 0) {
            return connection_.Reply("555 5.5.4 Parameter not supported: " + std::string(param.substr(0, 64)));
        }
    }
    if (!IsNullSender(address) && !AddressProblem(address, true).empty())
        return connection_.Reply("501 5.1.7 Bad sender address syntax");
    sender_ = IsNullSender(address) ? std::string() : address;
    connection_.Reply("250 2.1.0 Sender OK");
}

// True: a user or shared mailbox; false: neither; none: the directory cannot be read.
std::optional<bool> Session::KnownRecipient(const std::string& address)
{
    std::string error;
    if (!users_)
        users_ = msgstore::UsersDirectory::OpenExisting(context_.storeHome, error);
    if (!users_) {
        LogMessage(1, kModule, "Cannot open the users directory: %s", error.c_str());
        return std::nullopt;
    }
    msgstore::Account account;
    switch (users_->FindRecipient(address, account)) {
    case msgstore::DirectoryResult::Ok: return true;
    case msgstore::DirectoryResult::NotFound:
    case msgstore::DirectoryResult::Ambiguous: return false;
    default: break;
    }
    LogMessage(1, kModule, "Cannot read the users directory: %s", users_->LastError().c_str());
    users_.reset();
    return std::nullopt;
}

void Session::Rcpt(std::string_view args)
{
    if (!sender_)
        return connection_.Reply("503 5.5.1 Send MAIL FROM first");
    std::string address;
    std::string_view params;
    if (!SplitPath(args, "TO:", address, params))
        return connection_.Reply("501 5.5.4 Syntax: RCPT TO:<address>");
    if (!params.empty())
        return connection_.Reply("555 5.5.4 RCPT parameters are not supported");
    if (!AddressProblem(address, false).empty())
        return connection_.Reply("501 5.1.3 Bad recipient address syntax");
    if (recipients_.size() >= kRecipientsMax)
        return connection_.Reply("452 4.5.3 Too many recipients");
    std::optional<bool> known = KnownRecipient(address);
    if (!known)
        return connection_.Reply("451 4.3.0 The users directory cannot be read now");
    if (!*known)
        return connection_.Reply("550 5.1.1 <" + address + ">: no such user or shared mailbox here");
    recipients_.push_back(address);
    connection_.Reply("250 2.1.5 Recipient OK");
}

void Session::ReplyToEach(std::string_view line)
{
    for (std::size_t i = 0; i < recipients_.size(); ++i)
        connection_.Reply(line);
}

bool Session::ReadText(std::string& text, bool& tooLarge)
{
    std::string line;
    for (;;) {
        switch (connection_.ReadLine(line, 0)) {
        case LmtpConnection::Read::Line: break;
        case LmtpConnection::Read::Timeout:
            connection_.Reply("421 4.4.2 " + context_.hostName + " Timeout in the message text; nothing was queued");
            [[fallthrough]];
        default: return false;
        }
        if (line == ".")
            return true;
        std::string_view unstuffed = line;
        if (!unstuffed.empty() && unstuffed.front() == '.')
            unstuffed.remove_prefix(1);
        if (tooLarge || text.size() + unstuffed.size() + 2 > context_.maxMessageBytes) {
            tooLarge = true;
            continue; // read on to the dot, keeping nothing
        }
        text += unstuffed;
        text += "\r\n";
    }
}

void Session::Data()
{
    if (!sender_)
        return connection_.Reply("503 5.5.1 Send MAIL FROM first");
    if (recipients_.empty())
        return connection_.Reply("503 5.5.1 No valid recipients");
    connection_.Reply("354 Send the message; end with <CRLF>.<CRLF>");
    std::string text;
    bool tooLarge = false;
    if (!ReadText(text, tooLarge)) {
        LogMessage(2, kModule, "Client stopped in the message text from <%s>; nothing was queued", sender_->c_str());
        ended_ = true;
        return;
    }
    if (tooLarge)
        ReplyToEach("552 5.3.4 Message too large; at most " + std::to_string(context_.maxMessageBytes) + " bytes");
    else
        Deliver(text);
    Reset();
}

void Session::Deliver(const std::string& text)
{
    if (std::string problem = MessageShapeProblem(text); !problem.empty())
        return ReplyToEach("554 5.6.0 The message cannot be delivered: " + problem);
    std::vector<std::string> unique;
    for (const std::string& rcpt : recipients_)
        if (std::none_of(unique.begin(), unique.end(),
                         [&](const std::string& u) { return msgstore::FoldAddress(u) == msgstore::FoldAddress(rcpt); }))
            unique.push_back(rcpt);
    const std::string key = LmtpDeliveryKey(*sender_, unique, text);
    const auto since = OutcomeBoard::Clock::now();
    mq::QueuedText queued = mq::QueueText(text, *sender_, unique, kChannel, key);
    if (queued.id == 0) {
        LogMessage(1, kModule, "Cannot queue the message from <%s>: %s", sender_->c_str(), queued.fault.c_str());
        return ReplyToEach("451 4.3.0 The message cannot be queued now");
    }
    LogMessage(5, kModule, "queued <%08X> from <%s> for %zu recipient(s), %zu bytes (key %s)", queued.id,
               sender_->c_str(), unique.size(), text.size(), key.c_str());
    context_.wakeDelivery();
    const std::vector<std::string> lines =
        context_.board->Await(queued.id, unique, since, OutcomeBoard::Clock::now() + context_.outcomeWait);
    for (const std::string& rcpt : recipients_) {
        auto at = std::find_if(unique.begin(), unique.end(),
                               [&](const std::string& u) { return msgstore::FoldAddress(u) == msgstore::FoldAddress(rcpt); });
        const std::string& line = lines[static_cast<std::size_t>(at - unique.begin())];
        connection_.Reply(line.empty() ? std::string(kLmtpOutcomeUnknown) : line);
    }
}

} // namespace

void RunLmtpSession(UniqueFd socket, const LmtpSessionContext& context)
{
    Session session(std::move(socket), context);
    session.Run();
}

} // namespace locmail::host
