#include "antispam/ActionWords.h"

#include "antispam/NoCase.h"

#include <span>

namespace locmail::antispam {
namespace {

struct ActionWord {
    std::string_view word;
    int32_t code;
};

constexpr ActionWord kXScannerWords[] = {
    {"ignore", kXScannerIgnore},
    {"discard", kXScannerDiscard},
    {"file", kXScannerFile},
    {"bounce", kXScannerBounce},
};

constexpr ActionWord kBayesianWords[] = {
    {"disable", kBayesianDisable},
    {"discard", kBayesianDiscard},
    {"bounce", kBayesianBounce},
    {"changesubject", kBayesianChangeSubject},
    {"X-Spam-Status", kBayesianXSpamStatus},
    {"file", kBayesianFile},
};

std::optional<int32_t> FirstWordOf(std::span<const ActionWord> words, std::string_view value)
{
    for (const ActionWord& w : words)
        if (StartsWithNoCase(value, w.word))
            return w.code;
    return std::nullopt;
}

} // namespace

std::optional<int32_t> XScannerActionOf(std::string_view value) { return FirstWordOf(kXScannerWords, value); }

std::optional<int32_t> BayesianActionOf(std::string_view value) { return FirstWordOf(kBayesianWords, value); }

std::optional<HostActionValue> ParseHostActionValue(std::string_view value)
{
    std::optional<int32_t> action = XScannerActionOf(value);
    if (!action)
        return std::nullopt;
    HostActionValue out;
    out.action = *action;
    if (out.action == kXScannerFile || out.action == kXScannerBounce) {
        std::size_t comma = value.find(',');
        if (comma != std::string_view::npos)
            out.parameter = value.substr(comma + 1);
    }
    return out;
}

} // namespace locmail::antispam
