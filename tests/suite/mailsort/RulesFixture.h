// Runs the rules library as the agent calls it: a scripted store that knows
// one user (home in a temporary directory) and the shared mailbox "Sales",
// the user's rules.sieve, a parsed message and the global mailsort object.
#pragma once

#include "suite/cclient/MessageParser.h"
#include "support/CaptureLog.h"
#include "suite/mailsort/Mailsort.h"
#include "suite/mailsort/MessageView.h"
#include "suite/msgstore/CMsgStore.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace mailsorttest {

inline constexpr const char* kUser = "ann@example.com";

class StoreDouble : public CMsgStore {
public:
    explicit StoreDouble(std::string home) : CMsgStore(""), home_(std::move(home)) {}

    void SetProfile(const char* address) override
    {
        selected_ = address ? address : "";
        SetLastError(IsUser() || IsShared() ? 0 : 3);
    }
    bool IsShared() override { return selected_ == "Sales"; }
    void GetUserHomeDir(char* homeDir) override
    {
        if (!IsUser())
            throw CMsgStoreException(3, "unknown recipient");
        std::strcpy(homeDir, home_.c_str());
    }
    const std::string& selected() const { return selected_; }

private:
    bool IsUser() const { return locmail::mailsort::EqualsIgnoringCase(selected_, kUser); }

    std::string home_;
    std::string selected_;
};

struct Result {
    int rc = 0;
    int code = -1;
    std::vector<std::pair<int, std::string>> entries;
    std::vector<std::string> log;
};

// Evaluates SCRIPT (written as HOME/rules.sieve unless null) for MESSAGE; a
// non-null SENDER is the envelope sender.
inline Result RunRules(const testsupport::TempDir& home, const char* script, const std::string& message,
                       const char* sender = nullptr, const char* recipient = kUser)
{
    if (script)
        testsupport::WriteFile(home / "rules.sieve", script);
    StoreDouble store(home.path().string());
    locmail::log::CaptureLog capture;
    std::size_t headerLength = locmail::mailsort::HeaderLength(message);
    auto parsed = locmail::cclient::ParseMessage(message.data(), headerLength, message.data() + headerLength,
                                                 message.size() - headerLength);
    mail_envelope* envelope = parsed.envelope.get();
    std::string text = message;
    std::string to = recipient;
    mailsort.setErrorCode(-1);
    mailsort.SetMsgStore(store);
    mailsort.getXHeaderInfo(text.data());
    if (sender)
        mailsort.setSender(sender);
    msgdest* list = nullptr;
    Result result;
    result.rc = mailsort.mailDest(&envelope, to.data(), &list);
    result.code = mailsort.getErrorCode();
    EXPECT_EQ(store.selected(), recipient) << "checking a shared mailbox leaves the recipient selected";
    for (msgdest* entry = list; entry; entry = entry->next) {
        EXPECT_STREQ(entry->userName, recipient);
        result.entries.emplace_back(entry->action, entry->argument);
    }
    mailsort.freeMailPath(list);
    result.log = capture.LinesOf("Mailsort");
    return result;
}

// A table row's name as a test name: every character but letters and digits becomes '_'.
inline std::string RowName(std::string name)
{
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

} // namespace mailsorttest
