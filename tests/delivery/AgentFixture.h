// The fixture of the agent's tests: the scripted queue over a temporary
// directory, the scripted store, the composer's recorder, a qxmta.ini, the log.
#pragma once

#include "Doubles.h"
#include "delivery/CLocalMail.h"
#include "delivery/DeliveredCounter.h"
#include "support/CaptureLog.h"
#include "suite/mq/EnvelopeBuilder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

using doubles::Lines;

// The agent's process-wide message count, which it has no setter for, reached
// by name (delivery/DeliveredCounter.cpp): only a statically linked test can.
namespace locmail::delivery {
extern std::atomic<int32_t> g_deliveredMessages;
inline void SetDeliveredMessageCountForTests(int32_t count) { g_deliveredMessages.store(count); }
} // namespace locmail::delivery

inline constexpr const char* kText = "From: s@x\r\nTo: u@x\r\nSubject: hi\r\n\r\nbody\r\n";

class AgentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("LOCMAIL_CONFIG", (dir / "qxmta.ini").c_str(), 1);
        SetPolicy(nullptr);
        ResetQueue();
        doubles::TheMime() = {};
        locmail::delivery::SetDeliveredMessageCountForTests(0);
    }
    void TearDown() override { unsetenv("LOCMAIL_CONFIG"); }

    void ResetQueue(bool initOk = true, bool openOk = true)
    {
        doubles::TheQueue() = {};
        doubles::TheQueue().initOk = initOk;
        doubles::TheQueue().openOk = openOk;
        doubles::TheQueue().dir = dir.path().string();
    }

    // [Options] MailForInvalidLocalUser (null: no key); the file is replaced, so the change shows at once.
    void SetPolicy(const char* value)
    {
        std::string text = "[Mail]\nPostmaster = pm@x\n";
        if (value)
            text += std::string("[Options]\nMailForInvalidLocalUser = ") + value + "\n";
        testsupport::WriteFile(dir / "new.ini", text);
        std::rename((dir / "new.ini").c_str(), (dir / "qxmta.ini").c_str());
    }

    // Queues message ID; its sender and recipients go into the returned builder.
    locmail::mq::EnvelopeBuilder& Queue(uint32_t id, const std::string& text = kText)
    {
        testsupport::WriteFile(dir / (std::to_string(id) + ".msg"), text);
        doubles::TheQueue().ids.push_back(id);
        auto& builder = builders.emplace_back();
        doubles::TheQueue().envelopes[id] = builder.Envelope();
        return builder;
    }

    CLocalMail& Agent()
    {
        if (!agent)
            agent = std::make_unique<CLocalMail>(store, "queue", "LocalMail");
        return *agent;
    }

    // One DeliverMessage call, with the queue calls and mail recorded afresh; the agent's log lines.
    Lines Run(bool stopOnEntry = false)
    {
        Agent();
        log.Clear();
        doubles::TheQueue().calls.clear();
        doubles::TheMime().calls.clear();
        stop = stopOnEntry;
        agent->DeliverMessage(stop);
        return log.LinesOf("LocalMail");
    }

    const Lines& QueueCalls() const { return doubles::TheQueue().calls; }
    const Lines& MimeCalls() const { return doubles::TheMime().calls; }

    testsupport::TempDir dir;
    locmail::log::CaptureLog log;
    doubles::ScriptedStore store;
    std::deque<locmail::mq::EnvelopeBuilder> builders;
    bool stop = false;
    std::unique_ptr<CLocalMail> agent;
};
