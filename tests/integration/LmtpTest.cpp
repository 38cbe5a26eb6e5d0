// `locmail lmtp` on a fresh installation: replies per recipient from the real
// outcome, the text byte for byte in the store, the limits, many sessions at
// once, and a client's retry after the server was killed.
#include "integration/LmtpClient.h"
#include "integration/RunSupport.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

namespace {

using namespace testsupport;
using Lines = std::vector<std::string>;

std::string Socket(const Installation& inst) { return inst.Dir() + "/lmtp.sock"; }

// The reply codes of LINES (the first 9 characters, "250 2.0.0").
Lines Codes(const Lines& lines)
{
    Lines codes;
    for (const auto& line : lines)
        codes.push_back(line.substr(0, 9));
    return codes;
}

std::string Envelope(const std::string& sender, const Lines& recipients)
{
    std::string out = "LHLO test.example\r\nMAIL FROM:<" + sender + ">\r\n";
    for (const auto& rcpt : recipients)
        out += "RCPT TO:<" + rcpt + ">\r\n";
    return out + "DATA\r\n";
}

// One whole transaction to known recipients: the replies after the text's dot.
Lines Deliver(LmtpClient& client, const Lines& recipients, const std::string& text)
{
    client.Send(Envelope("s@x.example", recipients));
    client.Replies(5 + 1 + recipients.size() + 1);
    client.Send(text + ".\r\n");
    return client.Replies(recipients.size());
}

void Stop(locmail::Process& server)
{
    ::kill(static_cast<pid_t>(server.Pid()), SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}

class Lmtp : public ::testing::Test {
protected:
    void SetUp() override
    {
        MustRun(inst, {"user", "add", "bob@example.org"});
        MustRun(inst, {"user", "add", "--no-receive", "eve@example.org"});
    }
    Installation inst;
};

TEST_F(Lmtp, PipelinedCommandsGetOneReplyPerRecipientTheTextIsFiledByteForByteAndLimitsHold)
{
    SetConfig(inst, "Lmtp", "MaxMessageBytes", "2000");
    SetConfig(inst, "Lmtp", "TimeoutSeconds", "2");
    const int port = FreeLoopbackPort();
    locmail::Process server = inst.Start({"lmtp", "--listen", "127.0.0.1:" + std::to_string(port)});
    LmtpClient client(Socket(inst), port);
    ASSERT_TRUE(client.Connected());
    client.Send(Envelope("s@x.example", {"bob@example.org", "nobody@example.org", "Eve@example.org"}));
    Lines replies = client.Replies(10);
    replies[0].resize(4); // the host's name
    EXPECT_EQ(Codes(replies), (Lines{"250-", "250-PIPEL", "250-8BITM", "250-ENHAN", "250 SIZE ", "250 2.1.0",
                                     "250 2.1.5", "550 5.1.1", "250 2.1.5", "354 Send "}));
    const std::string longLine(1500, 'L'); // longer than RFC 5321's 1000: taken whole
    client.Send("Subject: one\r\n\r\n..leading dot\nbare LF\r\n" + longLine + "\r\n.\r\n");
    EXPECT_EQ(Codes(client.Replies(2)), (Lines{"250 2.0.0", "550 5.2.1"})) << "filed; may not receive";
    EXPECT_EQ(Filed(inst, "bob@example.org", 1), "Subject: one\r\n\r\n.leading dot\r\nbare LF\r\n" + longLine + "\r\n");

    // Order, syntax, size and line limits.
    client.Send("RCPT TO:<bob@example.org>\r\nMAIL FROM:<s@x.example> SIZE=2001\r\nMAIL FROM:<s@x.example> "
                "SIZE=100 BODY=8BITMIME\r\nMAIL FROM:<t@x.example>\r\nRCPT TO:bob\r\nVRFY bob\r\nXYZZY\r\n" +
                std::string(600, 'N') + "\r\nRSET\r\nDATA\r\nNOOP\r\n");
    EXPECT_EQ(Codes(client.Replies(11)),
              (Lines{"503 5.5.1", "552 5.3.4", "250 2.1.0", "503 5.5.1", "501 5.5.4", "252 2.5.2", "500 5.5.1",
                     "500 5.5.2", "250 2.0.0", "503 5.5.1", "250 2.0.0"}));
    const std::string big = "Subject: big\r\n\r\n" + std::string(1200, 'x') + "\r\n" + std::string(1200, 'y') + "\r\n";
    EXPECT_EQ(Codes(Deliver(client, {"bob@example.org", "eve@example.org"}, big)), (Lines{"552 5.3.4", "552 5.3.4"}));

    // A client that stops in the text queues nothing; a silent one is let go.
    client.Send(Envelope("s@x.example", {"bob@example.org"}) + "Subject: cut\r\n\r\nhalf");
    client.Close();
    LmtpClient silent(Socket(inst));
    EXPECT_EQ(Codes(silent.Replies(1)), Lines{"421 4.4.2"});
    LmtpClient last(Socket(inst));
    EXPECT_EQ(Codes(Deliver(last, {"bob@example.org"}, "Subject: two\r\n\r\nx\r\n")), Lines{"250 2.0.0"});
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), (Lines{"one", "two"}));
    EXPECT_TRUE(OnChannel(inst, "localout").empty()) << "the MTA returns the mail, not locmail";
    Stop(server);
    EXPECT_TRUE(OnChannel(inst, "local").empty());
}

// Then more than an agent's share of messages for one process over one kept
// connection: the server ends the session after its transaction ("421"),
// restarts keeping its sockets, and the client's next connection goes on.
TEST_F(Lmtp, TwoHundredSessionsAtOnceAndARestartAfterTheAgentsShareFileEveryMessageOnce)
{
    locmail::Process server = inst.Start({"lmtp"});
    std::vector<std::thread> sessions;
    std::vector<std::string> outcomes(200);
    for (int i = 0; i < 200; ++i)
        sessions.emplace_back([&, i] {
            LmtpClient client(Socket(inst));
            Lines got = Deliver(client, {"bob@example.org"}, "Subject: m" + std::to_string(i) + "\r\n\r\nx\r\n");
            outcomes[static_cast<std::size_t>(i)] = got.at(0).substr(0, 9);
        });
    for (auto& session : sessions)
        session.join();
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), "250 2.0.0"), 200);

    constexpr int kTotal = 2050;
    int reconnects = 0;
    auto client = std::make_unique<LmtpClient>(Socket(inst));
    for (int i = 200; i < kTotal && reconnects < 3; ++i) {
        const Lines got = Deliver(*client, {"bob@example.org"}, "Subject: m" + std::to_string(i) + "\r\n\r\nx\r\n");
        if (got.at(0).starts_with("250"))
            continue;
        ++reconnects; // refused before its transaction began: the same message again
        client = std::make_unique<LmtpClient>(Socket(inst));
        --i;
    }
    EXPECT_EQ(reconnects, 1);
    EXPECT_EQ(CountLogged(inst, "Lmtp", "5 Lmtp: Restarting after the agent's share of messages"), 1);
    const Lines subjects = InboxSubjects(inst, "bob@example.org");
    EXPECT_EQ(subjects.size(), std::size_t{kTotal});
    EXPECT_EQ(std::set<std::string>(subjects.begin(), subjects.end()).size(), std::size_t{kTotal});
    Stop(server);
}

// The server dies after the text, before or after it answered; or the store
// fails under it. The client's retry of the same transaction is recognised by
// its key and filed once.
TEST_F(Lmtp, ARetryAfterKillNineOrAStoreOutageIsFiledOnce)
{
    for (bool answered : {false, true}) {
        const std::string text = std::string("Subject: retry-") + (answered ? "after" : "before") + "\r\n\r\nx\r\n";
        locmail::Process server = inst.Start({"lmtp"});
        LmtpClient client(Socket(inst));
        client.Send(Envelope("s@x.example", {"bob@example.org"}));
        client.Replies(8);
        client.Send(text + ".\r\n");
        if (answered) {
            EXPECT_EQ(Codes(client.Replies(1)), Lines{"250 2.0.0"});
        }
        server.Kill();
        locmail::Process again = inst.Start({"lmtp"});
        LmtpClient retry(Socket(inst));
        EXPECT_EQ(Codes(Deliver(retry, {"bob@example.org"}, text)), Lines{"250 2.0.0"});
        Stop(again);
    }
    locmail::Process server = inst.Start({"lmtp"});
    LmtpClient client(Socket(inst));
    const std::string homes = inst.Dir() + "/store/users";
    std::filesystem::rename(homes, homes + ".aside");
    const std::string text = "Subject: outage\r\n\r\nx\r\n";
    EXPECT_EQ(Codes(Deliver(client, {"bob@example.org", "eve@example.org"}, text)), (Lines{"451 4.3.0", "451 4.3.0"}));
    std::filesystem::rename(homes + ".aside", homes);
    EXPECT_EQ(Codes(Deliver(client, {"bob@example.org", "eve@example.org"}, text)), (Lines{"250 2.0.0", "550 5.2.1"}));
    Stop(server);
    EXPECT_EQ(InboxSubjects(inst, "bob@example.org"), (Lines{"retry-before", "retry-after", "outage"}));
    EXPECT_TRUE(OnChannel(inst, "localout").empty());
}

} // namespace
