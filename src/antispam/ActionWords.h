// The action vocabulary of "antispam.cfg": the X Scanner actions (XScannerAction
// and the per-host "-action" lines) and the Bayesian actions (BayesianFilterAction).
//
// A value names an action when it BEGINS with the action's word, compared without
// regard to case over the word's length ("Discard" and "discarded" both name
// discard); the words are tried in code order and the first match wins. Blanks
// are not skipped: " discard" names nothing.
// Contract: pure functions. Failure modes: std::nullopt when the value names no
// action of the table.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace locmail::antispam {

// X Scanner action codes (also the RBL host actions read from the directory).
enum XScannerActionCode : int32_t {
    kXScannerIgnore = 0,
    kXScannerDiscard = 1,
    kXScannerFile = 2,
    kXScannerBounce = 3,
};

// Bayesian action codes.
enum BayesianActionCode : int32_t {
    kBayesianDisable = 0,
    kBayesianDiscard = 1,
    kBayesianBounce = 2,
    kBayesianChangeSubject = 3,
    kBayesianXSpamStatus = 4,
    kBayesianFile = 5,
};

std::optional<int32_t> XScannerActionOf(std::string_view value);
std::optional<int32_t> BayesianActionOf(std::string_view value);

// The value of a host action line: the action, and for file and bounce the text
// after the value's first "," (the folder or the reason), none without a ",".
// Ignore and discard never carry a parameter.
struct HostActionValue {
    int32_t action = kXScannerIgnore;
    std::optional<std::string_view> parameter; // views into the parsed value
};
std::optional<HostActionValue> ParseHostActionValue(std::string_view value);

} // namespace locmail::antispam
