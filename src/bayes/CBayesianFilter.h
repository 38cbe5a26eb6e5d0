// CBayesianFilter: the Bayesian spam filter object. The agent embeds one, and
// the X Scanner derives from it to share the filing and bounce routines.
//
// What it offers now:
// - FileMessage(home, message file, folder): files the message file into a
//   folder of the user's mailbox, making the folder when it is missing
//   (store/FileMessage.h; failures logged as "FileMessage - Catch error: %d").
// - ChangeSubject / AddXHeader(message file, output file): write a marked copy
//   of the message (store/MessageRewrite.h). ChangeSubject takes its subject
//   text from the current recipient's settings (GetSpamSubject).
// - BounceSpam(sender, message file): BounceToSender with the recipient's
//   GetBounceReason text.
// - BounceToSender(sender, message file, reason): the bounce service
//   (store/BounceToSender.h); uses no member.
// - SetAntiSpamConfig: the recipient's settings for one delivery; not owned,
//   valid only during that delivery. The X Scanner has its own operation of
//   this name that sets its own pointer.
// - Log(level, format, ...): one line of at most 8191 characters under
//   "Bayesian filter", a level above 6 written as 6.
//
// The settings of section "BayesianFilter", the plug-in library and the runs
// of the filter are added to this class later: their members go before
// m_userSettings, in the order of the data model.
//
// Failure modes: the operations return false as their routines do; ChangeSubject
// and BounceSpam also return false, with a level-1 line, when no settings were
// set for the delivery (a caller error: the pipeline always sets them first).
// Nothing throws but std::bad_alloc. One object per agent, one thread at a time.
#pragma once

class CAntiSpamConfig;

class CBayesianFilter {
public:
    CBayesianFilter() = default;
    ~CBayesianFilter() = default;
    CBayesianFilter(const CBayesianFilter&) = delete;
    CBayesianFilter& operator=(const CBayesianFilter&) = delete;

    bool FileMessage(const char* homeDir, const char* messagePath, const char* folderPath);
    bool ChangeSubject(const char* messagePath, const char* outputPath);
    bool AddXHeader(const char* messagePath, const char* outputPath);
    bool BounceSpam(const char* sender, const char* messagePath);
    bool BounceToSender(const char* sender, const char* messagePath, const char* reason);

    void SetAntiSpamConfig(CAntiSpamConfig* settings) { m_userSettings = settings; }

    // The length of the line as written (the formatted length, cut to the
    // buffer); -1 when the format fails.
    int Log(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

protected:
    CAntiSpamConfig* m_userSettings = nullptr;
};
