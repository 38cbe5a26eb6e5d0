// A user's anti-spam settings: the file "antispam.cfg" in the user's home
// directory, read once per user delivery.
//
// Construction builds the path (home directory, "/", "antispam.cfg"; the home
// directory is used unchanged, so "/home/ann/" gives "/home/ann//antispam.cfg"),
// logs "Loading antispam configuration file: %s" and "Done" at level 5 under
// "AntiSpam Config", and loads the file. It never fails: without a file every
// setting keeps its default.
//
// File format: one setting per line, "Key=value", keys and action words
// compared without regard to case by their beginning (see SettingsLine.h and
// ActionWords.h). Values are kept exactly, blanks included. A key given twice
// keeps its last value. "HOST-action=WORD[,PARAMETER]" lines set per-host
// overrides of the X Scanner action.
//
// Getters return the stored text, or the default when the key was not given
// (a key given with an empty value returns the empty text). The two action
// codes are public fields read directly by the spam steps; 0 (ignore, disable)
// when not given.
//
// Failure modes: LoadConfigFile returns false without a path or when the file
// cannot be opened; a file that is there but cannot be opened (no permission,
// a directory, a FIFO or a device, which is never waited on) is logged at
// level 2, a missing one is not. A value that names no action leaves the action unchanged,
// and a host action line with an unknown word adds nothing; both are logged at
// level 2 with the line number. A read error (or a line too long for memory)
// ends the file there, logged at level 2. A text whose copy runs out of memory stays
// unset; a host action that cannot be allocated is not added. Nothing throws.
// One object belongs to one delivery on one thread.
#pragma once

#include "antispam/SettingsLine.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// A per-host override of the X Scanner action. The name compares without regard
// to case; the parameter is the folder (file) or the reason (bounce), or none.
struct AntiSpamHostAction {
    std::string name;
    int32_t action = 0;
    std::optional<std::string> parameter;
};

class CAntiSpamConfig {
public:
    // HOMEDIR null leaves the object without a path (nothing is loaded).
    explicit CAntiSpamConfig(const char* homeDir);
    ~CAntiSpamConfig() = default;
    CAntiSpamConfig(const CAntiSpamConfig&) = delete;
    CAntiSpamConfig& operator=(const CAntiSpamConfig&) = delete;

    // Parses the file at the path into this object (settings already set stay
    // unless a line replaces them).
    bool LoadConfigFile();

    // Adds or updates the override of NAME; a null PARAMETER clears an earlier
    // one. False only when a new entry cannot be allocated (or NAME is null).
    bool SetHostAction(const char* name, int32_t action, const char* parameter);
    bool HasHostAction(const char* name) const;
    // The host's action, or XScannerAction without an override.
    int32_t GetHostAction(const char* name) const;
    // The parameter of the host's "file" override, which may be null when the
    // line named no folder; GetSystemSpamFolder() without such an override.
    const char* GetHostFolder(const char* name) const;
    // The parameter of the host's "bounce" override, which may be null;
    // GetXBounceReason() without such an override.
    const char* GetHostBounceReason(const char* name) const;

    const char* GetXBounceReason() const;
    const char* GetBounceReason() const;
    const char* GetSpamSubject() const;
    const char* GetSystemSpamFolder() const;
    const char* GetUserSpamFolder() const;
    const char* GetUndeterminedFolder() const;

    int32_t GetXScannerAction() const { return XScannerAction; }
    int32_t GetBayesianFilterAction() const { return BayesianFilterAction; }

    // The sender matches a pattern of WhiteList (see WhiteList.h).
    bool IsWhiteListed(const char* address) const;
    // The relay address lies in an item of IPWhiteList (see WhiteList.h).
    bool IsIPWhiteListed(const char* address) const;

    int32_t XScannerAction = 0;
    int32_t BayesianFilterAction = 0;

private:
    using Text = std::optional<std::string>;

    bool StoreHostAction(std::string_view name, int32_t action, std::optional<std::string_view> parameter);
    void ApplyLine(std::string_view line, std::size_t lineNumber);
    void ApplyAction(int32_t& field, std::optional<int32_t> action, std::size_t lineNumber);
    Text* TextField(locmail::antispam::SettingsKey key);
    const AntiSpamHostAction* FindHostAction(const char* name) const;
    void LogUnknownAction(std::size_t lineNumber) const;

    Text XBounceReason;
    Text BounceReason;
    Text SpamSubject;
    Text SystemSpamFolder;
    Text UserSpamFolder;
    Text UndeterminedFolder;
    Text SpamFolder;
    Text HamFolder;
    Text WhiteList;
    Text IPWhiteList;
    Text path;
    // Keyed by the folded name: hosts are only ever looked up, never walked in order.
    std::unordered_map<std::string, AntiSpamHostAction> hostActions;
};
