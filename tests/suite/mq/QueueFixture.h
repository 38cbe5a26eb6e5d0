// A fresh queue directory per test, initialised for the process, and the
// host's inject sequence.
#pragma once

#include "suite/mq/EnvelopeBuilder.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/QueueLayout.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace mqtest {

struct Recipient { std::string address, channel; };

// CreateMQEntry, text written at the entry's path, InsertMQChannel, PutMQEnvelope,
// CloseMQEntry; DiscardMQEntry when a step before the commit fails. 0 on failure.
inline uint32_t Inject(const std::string& text, const std::string& sender, const std::vector<Recipient>& recipients,
                       const char* channel = "local")
{
    MQContext* entry = CreateMQEntry();
    if (entry == nullptr)
        return 0;
    std::string name = std::filesystem::path(GetMQPathName(entry, "")).filename().string();
    testsupport::WriteFile(GetMQPathName(entry, ".msg"), text);
    locmail::mq::EnvelopeBuilder envelope;
    envelope.AddSender(sender, channel);
    for (const auto& r : recipients)
        envelope.AddRecipient(r.address, r.channel);
    if (!InsertMQChannel(entry, channel, 255) || !PutMQEnvelope(entry, envelope.Envelope())) {
        DiscardMQEntry(entry);
        return 0;
    }
    return CloseMQEntry(entry) ? static_cast<uint32_t>(std::stoul(name, nullptr, 16)) : 0;
}

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
        queue_ = tmp_ / "queue";
        ASSERT_TRUE(locmail::mq::CreateQueueDirectory(queue_));
        ASSERT_TRUE(MQInit(queue_.c_str(), "Queue"));
    }

    // Every id a fresh walk of CHANNEL hands out, removing none.
    std::vector<uint32_t> Walk(const char* channel = "local")
    {
        std::vector<uint32_t> ids;
        MQContext* ctx = OpenMQChannel(channel);
        EXPECT_NE(ctx, nullptr);
        for (uint32_t id = GetFirstMessage(ctx, false); id != locmail::mq::kNoMessage; id = GetNextMessage(ctx, false)) {
            EXPECT_NE(id, locmail::mq::kQueueUnreachable);
            if (id == locmail::mq::kQueueUnreachable)
                break;
            ids.push_back(id);
        }
        CloseMQChannel(ctx);
        return ids;
    }

    std::string Path(const std::string& sub) const { return queue_ + "/" + sub; }

    testsupport::TempDir tmp_;
    std::string queue_;
};

} // namespace mqtest
