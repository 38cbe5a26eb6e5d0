// Two agents in one process, each on its own queue and store, as a host that
// serves two installations would run them: each delivers its own queue's mail.
#include "delivery/CLocalMail.h"
#include "suite/db/diamondBase.h"
#include "suite/mq/MQapi.h"
#include "suite/mq/QueueLayout.h"
#include "suite/mq/QueueText.h"
#include "suite/msgstore/Accounts.h"
#include "suite/msgstore/CMsgStore.h"
#include "suite/msgstore/FolderReader.h"
#include "suite/msgstore/StoreHome.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

namespace ms = locmail::msgstore;

struct Site {
    std::string queue, store, home;
    std::unique_ptr<CMsgStore> msgStore;
    std::unique_ptr<CLocalMail> agent;
};

void Prepare(Site& site, const std::string& dir, const std::string& address)
{
    site.queue = dir + "/queue";
    site.store = dir + "/store";
    std::string error;
    ASSERT_TRUE(locmail::mq::CreateQueueDirectory(site.queue));
    ASSERT_TRUE(ms::PrepareStoreHome(site.store, error)) << error;
    auto users = ms::UsersDirectory::OpenExisting(site.store, error);
    ASSERT_TRUE(users) << error;
    ms::Account account;
    account.address = address;
    auto added = ms::AddAccount(*users, site.store, account);
    ASSERT_EQ(added.status, ms::AccountStatus::Done) << added.detail;
    site.home = added.homePath;
    ASSERT_TRUE(MQInit(site.queue.c_str(), "Queue"));
    // Both queues number their first entry 1: an agent reading the other's entry would find one.
    ASSERT_EQ(locmail::mq::QueueText("Subject: for " + address + "\r\n\r\nhi\r\n", "s@x", {address}, "local").id, 1u);
}

std::size_t InboxCount(const Site& site)
{
    diamondBase base;
    ms::FolderView view;
    return ms::ReadFolder(base, site.home, "inbox", view) == 0 ? view.uids.size() : 0;
}

TEST(TwoAgents, OnTwoQueuesInOneProcessEachDeliversItsOwnMail)
{
    testsupport::TempDir tmp;
    testsupport::WriteFile((tmp.path() / "qxmta.ini").string(), "[Mail]\nPostmaster=pm@x\n");
    ::setenv("LOCMAIL_CONFIG", (tmp.path() / "qxmta.ini").c_str(), 1);
    Site a, b;
    Prepare(a, (tmp.path() / "a").string(), "ann@a.example");
    Prepare(b, (tmp.path() / "b").string(), "ben@b.example");
    // B starts last: its queue is the one the process initialised most recently.
    for (Site* site : {&a, &b}) {
        site->msgStore = std::make_unique<CMsgStore>(site->store.c_str());
        site->agent = std::make_unique<CLocalMail>(*site->msgStore, site->queue.c_str(), "LocalMail");
    }
    for (Site* site : {&a, &b}) {
        bool stop = false;
        site->agent->DeliverMessage(stop);
        EXPECT_FALSE(stop);
    }
    for (Site* site : {&a, &b}) {
        SCOPED_TRACE(site->queue);
        EXPECT_EQ(InboxCount(*site), 1u);
        site->agent.reset();
        site->msgStore.reset();
    }
    for (const std::string& taken : {a.queue + "/channels/local", b.queue + "/channels/local", a.queue + "/entries",
                                     b.queue + "/entries"})
        EXPECT_TRUE(std::filesystem::is_empty(taken)) << taken;
    ::unsetenv("LOCMAIL_CONFIG");
}

} // namespace
