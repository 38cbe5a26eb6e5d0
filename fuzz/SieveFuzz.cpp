// The Sieve parser and evaluator over arbitrary scripts and headers. Input: the
// script, a 0x01 byte, the message header (no 0x01: the script alone, against a
// small fixed header). Besides the sanitizers it checks that a run that keeps
// the message files it into the inbox first, and that every entry fits msgdest.
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

namespace {

using namespace locmail::mailsort;

bool KeepsInInbox(const std::vector<Destination>& plan)
{
    if (plan.empty())
        return true;
    int32_t first = plan.front().action;
    return (first & 0x37) == kActionCopy || first == kActionVacation ||
           (first == kActionMove && plan.front().argument == "inbox");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t split = bytes.find('\x01');
    std::string_view script = bytes.substr(0, split);
    std::string_view header = split == std::string_view::npos
                                  ? std::string_view("From: a@x.org\r\nTo: b@y.org\r\nSubject: hi\r\n")
                                  : bytes.substr(split + 1);
    std::vector<ScriptError> errors;
    Script parsed = ParseScript(script, errors);
    FUZZ_CHECK(errors.size() <= kMaxReportedErrors);
    for (const ScriptError& error : errors)
        FUZZ_CHECK(error.line() >= 1 && error.column() >= 1);
    if (!errors.empty())
        return 0;
    MessageView message(header, size, "<s@x.org>", "b@y.org");
    try {
        Outcome outcome = Evaluate(parsed, message);
        auto plan = PlanDestinations(outcome);
        if (outcome.keep)
            FUZZ_CHECK(KeepsInInbox(plan));
        else
            FUZZ_CHECK(!plan.empty());
        for (const Destination& entry : plan)
            FUZZ_CHECK(entry.argument.size() <= kMaxArgumentLength);
        msgdest* list = BuildList(plan, "b@y.org");
        FreeList(list);
    } catch (const ScriptError& error) {
        FUZZ_CHECK(error.line() == 0);
    }
    return 0;
}
