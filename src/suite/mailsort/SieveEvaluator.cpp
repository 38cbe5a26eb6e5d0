#include "suite/mailsort/SieveEvaluator.h"

#include "suite/cclient/AddressList.h"
#include "suite/mailsort/Match.h"
#include "suite/mailsort/ScriptError.h"

#include <algorithm>

namespace locmail::mailsort {

namespace {

void AddOnce(std::vector<std::string>& list, const std::string& item)
{
    if (std::find(list.begin(), list.end(), item) == list.end())
        list.push_back(item);
}

bool AnyKeyMatches(std::string_view value, const Test& test)
{
    for (const std::string& key : test.keys)
        if (MatchValue(value, key, test.match, test.comparator))
            return true;
    return false;
}

std::string_view PartOf(const cclient::MailAddress& address, AddressPart part, std::string& whole)
{
    switch (part) {
    case AddressPart::LocalPart: return address.localPart;
    case AddressPart::Domain: return address.domain;
    case AddressPart::All: break;
    }
    whole = address.domain.empty() ? address.localPart : address.localPart + "@" + address.domain;
    return whole;
}

bool AnyAddressMatches(std::string_view text, const Test& test)
{
    std::string whole;
    for (const cclient::MailAddress& address : cclient::ParseAddressList(text))
        if (AnyKeyMatches(PartOf(address, test.part, whole), test))
            return true;
    return false;
}

// Only values with encoded words pay for a decoded copy.
bool HeaderValueMatches(std::string_view value, const Test& test)
{
    if (value.find("=?") == std::string_view::npos)
        return AnyKeyMatches(value, test);
    return AnyKeyMatches(cclient::DecodeEncodedWords(value), test);
}

bool HeaderTest(const Test& test, const MessageView& message)
{
    for (const std::string& name : test.names)
        if (message.AnyValue(name, [&](std::string_view value) { return HeaderValueMatches(value, test); }))
            return true;
    return false;
}

bool AddressTest(const Test& test, const MessageView& message)
{
    for (const std::string& name : test.names)
        if (message.AnyValue(name, [&](std::string_view value) { return AnyAddressMatches(value, test); }))
            return true;
    return false;
}

bool EnvelopeTest(const Test& test, const MessageView& message)
{
    for (const std::string& part : test.names) {
        const std::string& value = part == "from" ? message.EnvelopeFrom() : message.EnvelopeTo();
        // The null reverse path matches as an empty address in every part.
        if (value.empty() || value == "<>") {
            if (AnyKeyMatches("", test))
                return true;
        } else if (AnyAddressMatches(value, test)) {
            return true;
        }
    }
    return false;
}

bool Holds(const Test& test, const MessageView& message)
{
    switch (test.kind) {
    case Test::Kind::Header: return HeaderTest(test, message);
    case Test::Kind::Address: return AddressTest(test, message);
    case Test::Kind::Envelope: return EnvelopeTest(test, message);
    case Test::Kind::Exists:
        return std::all_of(test.names.begin(), test.names.end(),
                           [&](const std::string& name) { return message.Has(name); });
    case Test::Kind::SizeOver: return message.Size() > test.size;
    case Test::Kind::SizeUnder: return message.Size() < test.size;
    case Test::Kind::AllOf:
        return std::all_of(test.children.begin(), test.children.end(),
                           [&](const Test& child) { return Holds(child, message); });
    case Test::Kind::AnyOf:
        return std::any_of(test.children.begin(), test.children.end(),
                           [&](const Test& child) { return Holds(child, message); });
    case Test::Kind::Not: return !Holds(test.children.front(), message);
    case Test::Kind::True: return true;
    case Test::Kind::False: return false;
    }
    return false;
}

class Run {
public:
    explicit Run(const MessageView& message) : message_(message) {}

    // False once a stop was run.
    bool Commands(const std::vector<Command>& commands)
    {
        for (const Command& command : commands)
            if (!One(command))
                return false;
        return true;
    }

    Outcome Finish()
    {
        if (outcome_.reject && (explicitKeep_ || !outcome_.folders.empty() || !outcome_.sharedFolders.empty() ||
                                !outcome_.redirects.empty() || outcome_.vacation))
            throw ScriptError(0, 0, "reject cannot be combined with keep, fileinto, redirect or vacation");
        outcome_.keep = explicitKeep_ || !implicitKeepCancelled_;
        return std::move(outcome_);
    }

private:
    void FileInto(const Command& command)
    {
        const std::string& folder = command.argument;
        if (folder.compare(0, kSharedFolderPrefix.size(), kSharedFolderPrefix) == 0)
            AddOnce(outcome_.sharedFolders, folder.substr(kSharedFolderPrefix.size()));
        else if (EqualsIgnoringCase(folder, "inbox"))
            explicitKeep_ = true;
        else
            AddOnce(outcome_.folders, folder);
        if (!command.copy)
            implicitKeepCancelled_ = true;
    }

    bool One(const Command& command)
    {
        switch (command.kind) {
        case Command::Kind::If:
            for (const Branch& branch : command.branches)
                if (!branch.hasTest || Holds(branch.test, message_))
                    return Commands(branch.body);
            return true;
        case Command::Kind::Keep: explicitKeep_ = true; return true;
        case Command::Kind::Discard:
            outcome_.discard = true;
            implicitKeepCancelled_ = true;
            return true;
        case Command::Kind::Stop: return false;
        case Command::Kind::FileInto: FileInto(command); return true;
        case Command::Kind::Redirect:
            AddOnce(outcome_.redirects, command.argument);
            if (!command.copy)
                implicitKeepCancelled_ = true;
            return true;
        case Command::Kind::Reject:
            if (outcome_.reject)
                throw ScriptError(0, 0, "more than one reject");
            outcome_.reject = command.argument;
            implicitKeepCancelled_ = true;
            return true;
        case Command::Kind::Vacation:
            if (outcome_.vacation)
                throw ScriptError(0, 0, "more than one vacation");
            outcome_.vacation = command.vacation;
            return true;
        }
        return true;
    }

    const MessageView& message_;
    Outcome outcome_;
    bool explicitKeep_ = false;
    bool implicitKeepCancelled_ = false;
};

} // namespace

Outcome Evaluate(const Script& script, const MessageView& message)
{
    Run run(message);
    run.Commands(script.commands);
    return run.Finish();
}

} // namespace locmail::mailsort
