// One line of "antispam.cfg", taken apart but not yet applied.
//
// LineText(raw) turns a line as the line file hands it out (with its line end)
// into the text that is parsed: cut at the first NUL byte (the settings are
// C texts, so nothing after a NUL could be stored anyway), then one trailing
// line feed and then one trailing carriage return removed.
//
// ClassifySettingsLine(line), in this order:
// - no "=": skipped; first character "#" or ";": a comment, skipped;
// - the line BEGINS with a key name (without regard to case, over the name's
//   length; names tried in the order of SettingsKey): that key, with the value
//   after the first "=" exactly as it stands (no blanks removed). So
//   "SpamFolderOld=x" sets SpamFolder, and "XBounceReason" is not "BounceReason";
// - otherwise a line containing "-action" (lower case) is a host action named by
//   the text before the first "-action" (possibly empty);
// - anything else is skipped.
// Contract: pure; the views point into LINE. No failure modes.
#pragma once

#include <string_view>

namespace locmail::antispam {

// In matching order.
enum class SettingsKey {
    XScannerAction,
    BayesianFilterAction,
    SystemSpamFolder,
    BounceReason,
    XBounceReason,
    SpamSubject,
    UserSpamFolder,
    UndeterminedFolder,
    WhiteList,
    IPWhiteList,
    HamFolder,
    SpamFolder,
};

std::string_view KeyName(SettingsKey key);

struct SettingsLine {
    enum class Kind { Skipped, Key, HostAction };
    Kind kind = Kind::Skipped;
    SettingsKey key = SettingsKey::XScannerAction; // Kind::Key only
    std::string_view hostName;                     // Kind::HostAction only
    std::string_view value;                        // Key and HostAction: after the first "="
};

std::string_view LineText(std::string_view raw);

// One trailing line feed, then one trailing carriage return, removed.
std::string_view StripLineEnd(std::string_view text);

SettingsLine ClassifySettingsLine(std::string_view line);

} // namespace locmail::antispam
