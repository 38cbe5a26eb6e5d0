// CXScanner: acts on the spam marks that the suite's pre-processor ("X-vexbl:",
// naming the RBL hosts that listed the relay, "/", the relay's address) and a
// SpamAssassin plug-in ("X-Spam-Status: YES", or a subject marker) put into a
// message's header, once per user delivery.
//
// It derives from CBayesianFilter for the filing (FileMessage) and bounce
// (BounceToSender) routines, so building one also reads the Bayesian settings.
// The agent owns one for its whole life and calls LoadRblSettings after
// building it and before every scan.
//
// LoadRblSettings (XScannerLoad.cpp): when [XScanner] ReloadInterval minutes
// (default 15; 0: every call) have passed since the last complete load, or
// there was none, empties the RBL host list and reads the values
// "x-vexblaction" (RblHost.h) of the entry
// "(&(objectclass=qxconfig)(cn=PreProcessor))" from the directory that [Ldap]
// names (ldapClient.h), putting each host at the head of the list, so the
// value read last is found first. A failed connect ("Unable to connect to LDAP
// server", level 1) or bind (no line) leaves the list empty and the last load
// time as it was, so the next call tries again.
// GetRblAction: the action of the first host of that name (without regard to
// case), 1 (discard) when none: a host the directory does not name is discarded.
// Scan (XScannerScan.cpp): the results kX... below, for the pipeline to act on.
// The "Detected x-vexbl header" line shows at most kShownFieldMax characters of
// the field (the whole field is still acted upon), so the path always fits the
// 8192-character line.
// SetAntiSpamConfig: the recipient's settings for one delivery; not owned; the
// pointer of the Bayesian base stays null.
// SetClock: the time source of the reload interval, for tests.
//
// Logs under "XScanner" (lines of at most 8191 characters, levels above 6 as 6).
// Failure modes: results, never exceptions (but std::bad_alloc). One thread.
#pragma once

#include "antispam/RblHost.h"
#include "bayes/CBayesianFilter.h"

#include <cstdint>
#include <ctime>
#include <forward_list>
#include <functional>
#include <optional>
#include <string>

class CAntiSpamConfig;

class CXScanner : public CBayesianFilter {
public:
    enum : int {
        kXNoMark = 0,
        kXIgnored = 1,
        kXDiscarded = 2,
        kXFiled = 3,
        kXError = 4,
        kXNoSettings = 5,
        kXBounced = 6,
        kXWhiteListed = 7,
        kXIPWhiteListed = 8,
    };
    static constexpr int kShownFieldMax = 1024;
    using Clock = std::function<std::time_t()>;

    CXScanner();
    ~CXScanner() override;

    void SetAntiSpamConfig(CAntiSpamConfig* settings) { m_antiSpamConfig = settings; }
    void LoadRblSettings();
    int32_t GetRblAction(const char* host) const;
    int Scan(const char* sender, const char* homeDir, const char* messagePath);

    void SetClock(Clock clock) { m_clock = std::move(clock); }

private:
    // What the header says (XScannerScan.cpp).
    struct HeaderMarks {
        bool spam = false;
        bool hasVexbl = false;
        std::string vexbl; // the "X-vexbl:" field after its name, line end included
    };
    [[nodiscard]] bool ReadMarks(const char* messagePath, HeaderMarks& marks) const;
    std::optional<std::string> SubjectMarker() const;
    void DecideByHosts(const std::string& hosts, int32_t& action, const char*& folder, const char*& reason) const;
    int Act(int32_t action, const char* sender, const char* homeDir, const char* messagePath, const char* folder,
            const char* reason);
    bool ConnectAndBind(class ldapClient& client);
    void AddRblHosts(class ldapClient& client);
    void XLog(int level, const char* format, ...) const __attribute__((format(printf, 3, 4)));

    CAntiSpamConfig* m_antiSpamConfig = nullptr;
    std::string m_channel;
    std::forward_list<locmail::antispam::RblHost> m_rblHosts;
    int32_t m_lastLoad = -1;
    Clock m_clock;
};
