// A fresh queue directory per test, initialised for the process, a queue
// clock that only the test moves, and the host's inject sequence.
#pragma once

#include "suite/mq/EntryCheck.h"
#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/QueueClock.h"
#include "suite/mq/QueueLayout.h"
#include "suite/mq/WalkControl.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace mqtest {

inline int64_t g_nowMs = 0;
inline constexpr int64_t kStartSeconds = 1'700'000'000;
inline int64_t NowSeconds() { return g_nowMs / 1000; }

struct Recipient { std::string address, channel; };

inline const std::string kText = "Subject: x\r\n\r\nbody\r\n";

// CreateMQEntry, text written at the entry's path, InsertMQChannel for each of CHANNELS (the first is the
// sender's), PutMQEnvelope, CloseMQEntry; DiscardMQEntry when a step before the commit fails. 0 on failure.
inline uint32_t Inject(const std::string& text, const std::string& sender, const std::vector<Recipient>& recipients,
                       const std::vector<std::string>& channels = {"local"})
{
    MQContext* entry = CreateMQEntry();
    if (entry == nullptr)
        return 0;
    std::string name = std::filesystem::path(GetMQPathName(entry, "")).filename().string();
    testsupport::WriteFile(GetMQPathName(entry, ".msg"), text);
    locmail::mq::EnvelopeBuilder envelope;
    envelope.AddSender(sender, channels.at(0));
    for (const auto& r : recipients)
        envelope.AddRecipient(r.address, r.channel);
    bool built = true;
    for (const auto& channel : channels)
        built = built && InsertMQChannel(entry, channel.c_str(), 255);
    if (!built || !PutMQEnvelope(entry, envelope.Envelope())) {
        DiscardMQEntry(entry);
        return 0;
    }
    return CloseMQEntry(entry) ? static_cast<uint32_t>(std::stoul(name, nullptr, 16)) : 0;
}

inline uint32_t InjectOne() { return Inject(kText, "s@x", {{"r@x", "local"}}); }

inline std::vector<std::string> Names(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class QueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_nowMs = kStartSeconds * 1000;
        locmail::mq::SetQueueClock([] { return g_nowMs; });
        queue_ = tmp_ / "queue";
        ASSERT_TRUE(locmail::mq::CreateQueueDirectory(queue_));
        ASSERT_TRUE(MQInit(queue_.c_str(), "Queue"));
    }

    void TearDown() override
    {
        locmail::mq::SetWalkControl(nullptr);
        locmail::mq::SetQueueClock(nullptr);
        ::unsetenv("LOCMAIL_CONFIG");
    }

    // A qxmta.ini with these [Queue] lines, used from now on.
    void QueueSettings(const std::string& lines)
    {
        std::string config = tmp_ / "qxmta.ini";
        testsupport::WriteFile(config, "[Queue]\n" + lines);
        ::setenv("LOCMAIL_CONFIG", config.c_str(), 1);
    }

    // The entry's envelope as it is on disk now.
    locmail::mq::EnvelopeData OnDisk(uint32_t id) const
    {
        auto parsed = locmail::mq::ReadEntryEnvelope(locmail::mq::QueuePaths(queue_), id);
        EXPECT_TRUE(parsed.ok) << parsed.fault;
        return parsed.data;
    }

    // Every id a fresh walk of CHANNEL hands out; with REMOVE each is taken off the channel, after
    // deferring its recipients at DEFER.
    std::vector<uint32_t> Walk(const char* channel = "local", bool remove = false,
                               const std::vector<unsigned>& defer = {})
    {
        std::vector<uint32_t> ids;
        MQContext* ctx = OpenMQChannel(channel);
        EXPECT_NE(ctx, nullptr);
        for (uint32_t id = GetFirstMessage(ctx, false); id != locmail::mq::kNoMessage; id = GetNextMessage(ctx, false)) {
            EXPECT_NE(id, locmail::mq::kQueueUnreachable);
            if (id == locmail::mq::kQueueUnreachable)
                break;
            ids.push_back(id);
            for (unsigned index : defer)
                EXPECT_TRUE(DeferMQRecipient(ctx, index)) << index;
            if (remove) {
                EXPECT_TRUE(RemoveMQChannel(ctx));
            }
        }
        CloseMQChannel(ctx);
        return ids;
    }

    std::string Path(const std::string& sub) const { return queue_ + "/" + sub; }

    testsupport::TempDir tmp_;
    std::string queue_;
};

} // namespace mqtest
