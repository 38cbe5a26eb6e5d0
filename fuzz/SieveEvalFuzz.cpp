// The Sieve evaluator over arbitrary messages: fixed scripts that use every
// test, address part, match type and comparator, run against a fuzzed header
// and envelope. Input: the header, then optionally 0x01 and the envelope
// sender, then 0x01 and the recipient. Besides the sanitizers (and libFuzzer's
// timeout, which catches a wildcard match that backtracks without end) it
// checks that every outcome plans a list that fits msgdest.
#include "FuzzCheck.h"
#include "suite/mailsort/Destinations.h"
#include "suite/mailsort/MessageView.h"
#include "suite/mailsort/ScriptError.h"
#include "suite/mailsort/SieveEvaluator.h"
#include "suite/mailsort/SieveLimits.h"
#include "suite/mailsort/SieveParser.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace locmail::mailsort;

const char* const kScripts[] = {
    "require [\"fileinto\", \"copy\", \"envelope\", \"comparator-i;octet\"];\n"
    "if header :matches [\"subject\", \"from\", \"x-a\"] [\"*a*b*c*d*e*f*g*\", \"?*?*?*?*x\", \"*\\\\**\"] {\n"
    "  fileinto :copy \"Matched\";\n"
    "} elsif address :localpart :contains [\"from\", \"to\", \"cc\", \"bcc\", \"sender\"] \"ann\" {\n"
    "  redirect :copy \"c@z.org\";\n"
    "} elsif address :domain :is :comparator \"i;octet\" [\"to\", \"resent-to\"] \"Example.COM\" {\n"
    "  fileinto \"Octet\";\n"
    "} elsif envelope :all :matches [\"from\", \"to\"] [\"*@*.*\", \"\"] {\n"
    "  fileinto \"shared:Sales/Orders\";\n"
    "}\n",
    "require \"vacation\";\n"
    "if anyof (exists [\"List-Id\", \"Auto-Submitted\"], size :over 10K, not header :contains \"x\" \"\") {\n"
    "  discard; stop;\n"
    "}\n"
    "if allof (address :all :is \"from\" \"a@x.org\", header :is :comparator \"i;ascii-casemap\" \"subject\" \"HI\") {\n"
    "  vacation :days 1 :addresses [\"b@y.org\"] :subject \"away\" \"back soon\";\n"
    "}\n",
    "require \"reject\";\nif size :under 1 { keep; } else { reject \"no\"; }\n",
};

const std::vector<Script>& Scripts()
{
    static const std::vector<Script> scripts = [] {
        std::vector<Script> parsed;
        for (const char* text : kScripts)
            parsed.push_back(ParseScript(text));
        return parsed;
    }();
    return scripts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t first = bytes.find('\x01');
    const std::string_view header = bytes.substr(0, first);
    std::string_view rest = first == std::string_view::npos ? std::string_view() : bytes.substr(first + 1);
    const std::size_t second = rest.find('\x01');
    const std::string sender(rest.substr(0, second));
    const std::string recipient(second == std::string_view::npos ? "b@y.org" : rest.substr(second + 1));
    for (const Script& script : Scripts()) {
        MessageView message(header, size, sender, recipient);
        try {
            Outcome outcome = Evaluate(script, message);
            for (const Destination& entry : PlanDestinations(outcome))
                FUZZ_CHECK(entry.argument.size() <= kMaxArgumentLength);
        } catch (const ScriptError& error) {
            FUZZ_CHECK(error.line() == 0);
        }
    }
    return 0;
}
