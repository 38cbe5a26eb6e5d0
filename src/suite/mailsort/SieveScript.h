// The parsed form of a filter file: commands and tests as the parser built them,
// with every argument checked, so that evaluation needs no further validation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace locmail::mailsort {

enum class MatchType { Is, Contains, Matches };
enum class Comparator { AsciiCasemap, Octet };
enum class AddressPart { All, LocalPart, Domain };

struct Test {
    enum class Kind { Header, Address, Envelope, Exists, SizeOver, SizeUnder, AllOf, AnyOf, Not, True, False };
    Kind kind = Kind::True;
    MatchType match = MatchType::Is;
    Comparator comparator = Comparator::AsciiCasemap;
    AddressPart part = AddressPart::All;
    std::vector<std::string> names; // header names, or envelope parts in lower case
    std::vector<std::string> keys;
    uint64_t size = 0;
    std::vector<Test> children;
};

struct VacationArgs {
    int days = 7;
    std::string subject;
    std::string from;
    std::vector<std::string> addresses;
    std::string handle;
    std::string reason;
};

struct Branch;

struct Command {
    enum class Kind { If, Keep, Discard, Stop, FileInto, Redirect, Reject, Vacation };
    Kind kind = Kind::Keep;
    bool copy = false;         // fileinto/redirect :copy
    std::string argument;      // folder, address or reject reason
    VacationArgs vacation;
    std::vector<Branch> branches; // if, elsif..., else (the else has no test)
};

struct Branch {
    bool hasTest = true;
    Test test;
    std::vector<Command> body;
};

struct Script {
    std::vector<Command> commands;
};

} // namespace locmail::mailsort
