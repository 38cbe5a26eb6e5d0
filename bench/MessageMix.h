// The benchmarks' messages: the size mix of a mail server (70% 2-8 KiB, 25%
// 8-64 KiB, 5% 64-512 KiB) from a fixed seed, and queue entries written in
// their committed form without fsyncs (docs/queue-format.md).
#pragma once

#include "suite/mq/EnvelopeFormat.h"
#include "suite/mq/QueueLayout.h"

#include <cstdint>
#include <fstream>
#include <random>
#include <string>

namespace bench {

inline constexpr unsigned kSeed = 20261206;

inline std::size_t MessageSize(std::mt19937& random)
{
    auto between = [&](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    unsigned pick = std::uniform_int_distribution<unsigned>(0, 99)(random);
    if (pick < 70)
        return between(2 << 10, 8 << 10);
    if (pick < 95)
        return between(8 << 10, 64 << 10);
    return between(64 << 10, 512 << 10);
}

inline std::string Message(long i, int users, std::size_t size)
{
    std::string text = "Return-Path: <sender@example.org>\r\nFrom: Sender <sender@example.org>\r\n"
                       "To: u" + std::to_string(i % users) + "@example.org\r\nSubject: bench message " +
                       std::to_string(i) + "\r\nMessage-ID: <" + std::to_string(i) + "@bench.example.org>\r\n"
                       "Date: Sun, 6 Dec 2026 10:00:00 +0100\r\nMIME-Version: 1.0\r\n"
                       "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
    while (text.size() < size)
        text += "The quick brown fox jumps over the lazy dog, again and again and again.\r\n";
    return text;
}

inline bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// The files a committed entry has (docs/queue-format.md), written without fsync.
inline bool Enqueue(const locmail::mq::QueuePaths& paths, uint32_t id, int users, const std::string& text)
{
    locmail::mq::EnvelopeData envelope;
    envelope.messageSize = text.size();
    envelope.senders.push_back({"sender@example.org", "", 0, 0, "", "local"});
    envelope.recipients.push_back({"u" + std::to_string((id - 1) % users) + "@example.org", "", 0, "", "local"});
    envelope.channels.push_back({"local", 255});
    return WriteFile(paths.EntryFile(id, ".msg"), text) &&
           WriteFile(paths.EntryFile(id, ".env"), locmail::mq::FormatEnvelopeFile(envelope)) &&
           WriteFile(paths.Marker("local", id), "");
}

} // namespace bench
