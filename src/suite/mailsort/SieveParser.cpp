#include "suite/mailsort/SieveParser.h"

#include "suite/cclient/AddressList.h"
#include "suite/mailsort/ScriptError.h"
#include "suite/mailsort/SieveLexer.h"
#include "suite/mailsort/SieveLimits.h"

#include <set>

namespace locmail::mailsort {

namespace {

using Kind = Token::Kind;

const std::set<std::string, std::less<>> kCapabilities = {
    "fileinto", "copy", "reject", "envelope", "vacation", "comparator-i;octet", "comparator-i;ascii-casemap"};

class Parser {
public:
    explicit Parser(std::string_view text) : lexer_(text) {}

    // The script, and every error found on the way (at most kMaxReportedErrors).
    Script Run()
    {
        Script script;
        try {
            Shift();
            bool requiresAllowed = true;
            while (current_.kind != Kind::End) {
                CommandOrRecover(script.commands, requiresAllowed, true);
                requiresAllowed = false;
            }
        } catch (const Abandoned&) {
        }
        return script;
    }

    std::vector<ScriptError>& Errors() { return errors_; }

private:
    // Thrown once the text cannot be read on (a NUL byte) or enough errors were found.
    struct Abandoned {};

    void Record(const ScriptError& error)
    {
        errors_.push_back(error);
        if (error.corrupt() || errors_.size() >= kMaxReportedErrors)
            throw Abandoned{};
    }

    // The next token; a lexical error is recorded and the text after it read on.
    void Shift()
    {
        while (true) {
            try {
                current_ = lexer_.Next();
                return;
            } catch (const ScriptError& error) {
                Record(error);
            }
        }
    }

    // Parses one command into INTO (a require adds none). After an error, skips to
    // the end of the broken command: its ';', or its block with any elsif and else
    // blocks, or (at TOPLEVEL only) a stray '}'. Inside a block, a '}' is left to
    // close it.
    void CommandOrRecover(std::vector<Command>& into, bool requiresAllowed, bool topLevel)
    {
        const int depth = depth_;
        try {
            Command command;
            Token at = current_;
            if (ParseCommand(command, requiresAllowed))
                into.push_back(std::move(command));
            else if (!topLevel)
                Fail(at, "require is allowed only at the start of the script");
        } catch (const ScriptError& error) {
            depth_ = depth;
            Record(error);
            SkipBrokenCommand(topLevel);
        }
    }

    void SkipBrokenCommand(bool topLevel)
    {
        int braces = 0;
        while (current_.kind != Kind::End) {
            const Kind kind = current_.kind;
            if (kind == Kind::RightBrace && braces == 0) {
                if (topLevel)
                    Shift();
                return;
            }
            Shift();
            if (kind == Kind::Semicolon && braces == 0)
                return;
            if (kind == Kind::LeftBrace)
                ++braces;
            else if (kind == Kind::RightBrace && --braces == 0 && !AtElseBranch())
                return;
        }
    }

    bool AtElseBranch() const
    {
        return current_.kind == Kind::Identifier && (current_.text == "elsif" || current_.text == "else");
    }

    [[noreturn]] void Fail(const Token& at, const std::string& what) const
    {
        throw ScriptError(at.line, at.column, what);
    }

    void Expect(Kind kind, const char* what)
    {
        if (current_.kind != kind)
            Fail(current_, std::string(what) + " expected");
        Shift();
    }

    void Enter(const Token& at)
    {
        if (++depth_ > kMaxNesting)
            Fail(at, "nested deeper than " + std::to_string(kMaxNesting) + " levels");
    }
    void Leave() { --depth_; }

    void Require(const Token& at, const char* capability) const
    {
        if (!required_.count(capability))
            Fail(at, std::string("require \"") + capability + "\" is missing");
    }

    void CountAction(const Token& at)
    {
        // Said once: every later action would pass the limit too.
        if (++actions_ == kMaxActions + 1)
            Fail(at, "more than " + std::to_string(kMaxActions) + " actions");
    }

    std::string String(const char* what)
    {
        if (current_.kind != Kind::String)
            Fail(current_, std::string(what) + " expected (a string)");
        std::string text = std::move(current_.text);
        Shift();
        return text;
    }

    std::vector<std::string> StringList(const char* what)
    {
        std::vector<std::string> list;
        if (current_.kind == Kind::String) {
            list.push_back(String(what));
            return list;
        }
        if (current_.kind != Kind::LeftBracket)
            Fail(current_, std::string(what) + " expected (a string or string list)");
        Shift();
        while (true) {
            if (list.size() >= kMaxListItems)
                Fail(current_, "string list longer than " + std::to_string(kMaxListItems) + " items");
            list.push_back(String(what));
            if (current_.kind == Kind::RightBracket)
                break;
            Expect(Kind::Comma, "',' or ']'");
        }
        Shift();
        return list;
    }

    uint64_t Number(const char* what)
    {
        if (current_.kind != Kind::Number)
            Fail(current_, std::string(what) + " expected (a number)");
        uint64_t n = current_.number;
        Shift();
        return n;
    }

    // The tags shared by header, address and envelope.
    bool MatchTag(Test& test, bool addressPart, bool& seenMatch, bool& seenComparator, bool& seenPart)
    {
        Token at = current_;
        const std::string& tag = current_.text;
        if (tag == "is" || tag == "contains" || tag == "matches") {
            if (seenMatch)
                Fail(at, "more than one match type");
            seenMatch = true;
            test.match = tag == "is" ? MatchType::Is : tag == "contains" ? MatchType::Contains : MatchType::Matches;
            Shift();
            return true;
        }
        if (tag == "comparator") {
            if (seenComparator)
                Fail(at, "more than one comparator");
            seenComparator = true;
            Shift();
            Token nameAt = current_;
            std::string name = String("comparator name");
            if (name == "i;octet")
                test.comparator = Comparator::Octet;
            else if (name == "i;ascii-casemap")
                test.comparator = Comparator::AsciiCasemap;
            else
                Fail(nameAt, "unsupported comparator \"" + name + "\"");
            return true;
        }
        if (addressPart && (tag == "all" || tag == "localpart" || tag == "domain")) {
            if (seenPart)
                Fail(at, "more than one address part");
            seenPart = true;
            test.part = tag == "all" ? AddressPart::All : tag == "localpart" ? AddressPart::LocalPart
                                                                             : AddressPart::Domain;
            Shift();
            return true;
        }
        return false;
    }

    void MatchingTest(Test& test, bool addressPart)
    {
        bool seenMatch = false, seenComparator = false, seenPart = false;
        while (current_.kind == Kind::Tag)
            if (!MatchTag(test, addressPart, seenMatch, seenComparator, seenPart))
                Fail(current_, "unknown tag :" + current_.text);
        test.names = StringList("header names");
        test.keys = StringList("key list");
    }

    void EnvelopeParts(const Token& at, Test& test)
    {
        for (std::string& part : test.names) {
            for (char& c : part)
                if (c >= 'A' && c <= 'Z')
                    c = static_cast<char>(c - 'A' + 'a');
            if (part != "from" && part != "to")
                Fail(at, "unsupported envelope part \"" + part + "\"");
        }
    }

    std::vector<Test> TestList()
    {
        std::vector<Test> tests;
        Expect(Kind::LeftParen, "'('");
        while (true) {
            tests.push_back(ParseTest());
            if (current_.kind == Kind::RightParen)
                break;
            Expect(Kind::Comma, "',' or ')'");
        }
        Shift();
        return tests;
    }

    Test ParseTest()
    {
        Token at = current_;
        if (at.kind != Kind::Identifier)
            Fail(at, "test expected");
        Enter(at);
        Shift();
        Test test;
        const std::string& name = at.text;
        if (name == "header") {
            test.kind = Test::Kind::Header;
            MatchingTest(test, false);
        } else if (name == "address") {
            test.kind = Test::Kind::Address;
            MatchingTest(test, true);
        } else if (name == "envelope") {
            Require(at, "envelope");
            test.kind = Test::Kind::Envelope;
            MatchingTest(test, true);
            EnvelopeParts(at, test);
        } else if (name == "exists") {
            test.kind = Test::Kind::Exists;
            test.names = StringList("header names");
        } else if (name == "size") {
            if (current_.kind != Kind::Tag || (current_.text != "over" && current_.text != "under"))
                Fail(current_, ":over or :under expected");
            test.kind = current_.text == "over" ? Test::Kind::SizeOver : Test::Kind::SizeUnder;
            Shift();
            test.size = Number("size limit");
        } else if (name == "allof" || name == "anyof") {
            test.kind = name == "allof" ? Test::Kind::AllOf : Test::Kind::AnyOf;
            test.children = TestList();
        } else if (name == "not") {
            test.kind = Test::Kind::Not;
            test.children.push_back(ParseTest());
        } else if (name == "true" || name == "false") {
            test.kind = name == "true" ? Test::Kind::True : Test::Kind::False;
        } else {
            Fail(at, "unknown test \"" + name + "\"");
        }
        Leave();
        return test;
    }

    std::vector<Command> Block()
    {
        Token at = current_;
        Expect(Kind::LeftBrace, "'{'");
        Enter(at);
        std::vector<Command> body;
        while (current_.kind != Kind::RightBrace) {
            if (current_.kind == Kind::End)
                Fail(at, "unterminated block");
            CommandOrRecover(body, false, false);
        }
        Shift();
        Leave();
        return body;
    }

    void If(Command& command)
    {
        command.kind = Command::Kind::If;
        do {
            Branch branch;
            branch.test = ParseTest();
            branch.body = Block();
            command.branches.push_back(std::move(branch));
        } while (current_.kind == Kind::Identifier && current_.text == "elsif" && (Shift(), true));
        if (current_.kind == Kind::Identifier && current_.text == "else") {
            Shift();
            Branch branch;
            branch.hasTest = false;
            branch.body = Block();
            command.branches.push_back(std::move(branch));
        }
    }

    bool CopyTag(const Token& at)
    {
        if (current_.kind != Kind::Tag)
            return false;
        if (current_.text != "copy")
            Fail(current_, "unknown tag :" + current_.text);
        Require(at, "copy");
        Shift();
        return true;
    }

    void FileInto(const Token& at, Command& command)
    {
        Require(at, "fileinto");
        command.kind = Command::Kind::FileInto;
        command.copy = CopyTag(at);
        Token nameAt = current_;
        command.argument = String("folder name");
        if (command.argument.empty())
            Fail(nameAt, "empty folder name");
        if (command.argument.rfind("shared:", 0) == 0 &&
            command.argument.find_first_not_of("/\\", 7) != 7)
            Fail(nameAt, "shared: must be followed by a mailbox name");
        if (command.argument.size() > kMaxFolderLength)
            Fail(nameAt, "folder name longer than " + std::to_string(kMaxFolderLength) + " characters");
    }

    void Redirect(const Token& at, Command& command)
    {
        command.kind = Command::Kind::Redirect;
        command.copy = CopyTag(at);
        Token addressAt = current_;
        command.argument = String("address");
        auto addresses = cclient::ParseAddressList(command.argument);
        if (addresses.size() != 1 || addresses[0].domain.empty() ||
            command.argument.size() > kMaxArgumentLength)
            Fail(addressAt, "not one valid mail address: \"" + command.argument.substr(0, 80) + "\"");
        command.argument = addresses[0].localPart + "@" + addresses[0].domain;
    }

    void Vacation(const Token& at, Command& command)
    {
        Require(at, "vacation");
        command.kind = Command::Kind::Vacation;
        VacationArgs& args = command.vacation;
        while (current_.kind == Kind::Tag) {
            Token tagAt = current_;
            std::string tag = current_.text;
            Shift();
            if (tag == "days") {
                uint64_t days = Number(":days");
                args.days = days < 1 ? 1 : days > 365 ? 365 : static_cast<int>(days);
            } else if (tag == "subject") {
                args.subject = String(":subject");
            } else if (tag == "from") {
                args.from = String(":from");
            } else if (tag == "addresses") {
                args.addresses = StringList(":addresses");
            } else if (tag == "handle") {
                args.handle = String(":handle");
            } else if (tag == "mime") {
                Fail(tagAt, "vacation :mime is not supported; write the reason as plain text");
            } else {
                Fail(tagAt, "unknown tag :" + tag);
            }
        }
        args.reason = String("vacation reason");
    }

    void Reject(const Token& at, Command& command)
    {
        Require(at, "reject");
        command.kind = Command::Kind::Reject;
        command.argument = String("reject reason");
    }

    void Requires()
    {
        Token at = current_;
        for (const std::string& capability : StringList("capability")) {
            if (!kCapabilities.count(capability))
                Fail(at, "unsupported extension \"" + capability + "\"");
            required_.insert(capability);
        }
    }

    // False for a require, which makes no command.
    bool ParseCommand(Command& command, bool requiresAllowed)
    {
        Token at = current_;
        if (at.kind != Kind::Identifier)
            Fail(at, "command expected");
        Shift();
        const std::string& name = at.text;
        if (name == "if") {
            If(command);
            return true;
        }
        if (name == "require") {
            if (!requiresAllowed)
                Fail(at, "require is allowed only at the start of the script");
            Requires();
            Expect(Kind::Semicolon, "';'");
            return false;
        }
        if (name == "keep")
            command.kind = Command::Kind::Keep;
        else if (name == "discard")
            command.kind = Command::Kind::Discard;
        else if (name == "stop")
            command.kind = Command::Kind::Stop;
        else if (name == "fileinto")
            FileInto(at, command);
        else if (name == "redirect")
            Redirect(at, command);
        else if (name == "reject")
            Reject(at, command);
        else if (name == "vacation")
            Vacation(at, command);
        else if (name == "elsif" || name == "else")
            Fail(at, name + " without if");
        else
            Fail(at, "unknown command \"" + name + "\"");
        if (command.kind != Command::Kind::Stop)
            CountAction(at);
        Expect(Kind::Semicolon, "';'");
        return true;
    }

    SieveLexer lexer_;
    Token current_;
    std::vector<ScriptError> errors_;
    std::set<std::string, std::less<>> required_;
    int depth_ = 0;
    int actions_ = 0;
};

} // namespace

Script ParseScript(std::string_view text)
{
    std::vector<ScriptError> errors;
    Script script = ParseScript(text, errors);
    if (!errors.empty())
        throw errors.front();
    return script;
}

Script ParseScript(std::string_view text, std::vector<ScriptError>& errors)
{
    errors.clear();
    if (text.size() > kMaxScriptBytes) {
        errors.emplace_back(1, 1, "filter file larger than " + std::to_string(kMaxScriptBytes) + " bytes");
        return {};
    }
    Parser parser(text);
    Script script = parser.Run();
    errors = std::move(parser.Errors());
    return script;
}

} // namespace locmail::mailsort
