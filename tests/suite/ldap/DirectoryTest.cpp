// The directory client against a real slapd and against the embedded LDIF
// directory, with the same entries and the same expectations; then what only
// a server can do wrong (refused bind, no server, a server that never answers)
// and what only a file can (malformed or oversized LDIF).
#include "suite/ldap/ClientLookup.h"
#include "suite/ldap/LdifReader.h"
#include "suite/ldap/SearchFilter.h"
#include "suite/ldap/ldapClient.h"
#include "suite/platform/Process.h"
#include "suite/vexclass/CLDAPException.h"
#include "support/CaptureLog.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string kLongValue(600, 'x');

// Continuations, a comment, a base64 value ("b.example,p,d"), case as an
// operator types it.
std::string DirectoryLdif()
{
    return "dn: o=locmail\nobjectClass: organization\no: locmail\n\n"
           "# the pre-processor's RBL hosts\n"
           "dn: cn=PreProcessor,o=locmail\nobjectClass: qxconfig\ncn: "
           "PreProcessor\n"
           "x-vexblaction: a.example,P,i,lo\n cal:b\n"
           "x-vexblaction:: Yi5leGFtcGxlLHAsZA==\n"
           "x-vexblaction: " +
           kLongValue +
           "\n\n"
           "dn: uid=alice,o=locmail\nobjectClass: qxmailuser\nuid: "
           "alice\nothermailbox: MAILX$ali\n"
           "othermailbox: local$alice@example.org\n\n"
           "dn: uid=bob,o=locmail\nobjectClass: qxmailuser\nuid: bob\n";
}

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A loopback socket bound to a port of the system's choice (listening when LISTEN); its port into PORT.
int BoundSocket(int& port, bool listen)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    if (listen)
        ::listen(fd, 4);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

int FreeLoopbackPort()
{
    int port = 0;
    ::close(BoundSocket(port, false));
    return port;
}

bool Accepts(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

// A slapd of our own: slapd.conf, schema and database in DIR, loaded with
// slapadd, listening on a loopback port, killed with the object.
class Slapd {
public:
    Slapd(const TempDir& dir, const std::string& ldif) : port_(FreeLoopbackPort())
    {
        const std::string conf = dir / "slapd.conf";
        std::filesystem::create_directory(dir / "db");
        WriteFile(conf, "include /etc/ldap/schema/core.schema\ninclude " LOCMAIL_SCHEMA "\n"
                        "modulepath /usr/lib/ldap\nmoduleload back_mdb\n"
                        "pidfile " +
                            dir / "slapd.pid" +
                            "\ndefaultsearchbase o=locmail\n"
                            "database mdb\nsuffix o=locmail\nrootdn "
                            "cn=admin,o=locmail\nrootpw secret\n"
                            "directory " +
                            dir / "db" + "\n");
        WriteFile(dir / "data.ldif", ldif);
        locmail::Process add = locmail::Process::Start({"/usr/sbin/slapadd", "-f", conf, "-l", dir / "data.ldif"});
        std::string out;
        add.ReadOutput(out);
        if (add.Wait() != 0)
            throw std::runtime_error("slapadd failed: " + out);
        server_ = locmail::Process::Start(
            {"/usr/sbin/slapd", "-d", "0", "-f", conf, "-h", "ldap://127.0.0.1:" + std::to_string(port_) + "/"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!Accepts(port_)) {
            if (std::chrono::steady_clock::now() > deadline || server_.WaitUntil(std::chrono::steady_clock::now()))
                throw std::runtime_error("slapd did not start");
            std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the next try of a deadline poll
        }
    }
    int port() const { return port_; }

private:
    int port_;
    locmail::Process server_;
};

// qxmta.ini in DIR for the test's lifetime, through $LOCMAIL_CONFIG.
void UseConfig(const TempDir& dir, const std::string& ldapSection)
{
    WriteFile(dir / "qxmta.ini", "[Ldap]\n" + ldapSection);
    ::setenv("LOCMAIL_CONFIG", (dir / "qxmta.ini").c_str(), 1);
}

std::vector<std::string> Values(const SearchReq& result, const char* name)
{
    std::vector<std::string> values;
    for (const SearchAttr* node = result.attrs; node->next != nullptr; node = node->next)
        if (std::string_view(node->attr) == name)
            values.push_back(std::to_string(node->entry) + ":" + node->value);
    return values;
}

class Directory : public testing::TestWithParam<bool> { // true: slapd, false: the LDIF file
protected:
    void SetUp() override
    {
        if (GetParam()) {
            server_ = std::make_unique<Slapd>(dir_, DirectoryLdif());
            UseConfig(dir_, "HostName=127.0.0.1\nPort=" + std::to_string(server_->port()) + "\n");
        }
        else {
            WriteFile(dir_ / "directory.ldif", DirectoryLdif());
            UseConfig(dir_, "LdifFile=directory.ldif\n");
        }
    }
    void TearDown() override { ::unsetenv("LOCMAIL_CONFIG"); }

    TempDir dir_;
    std::unique_ptr<Slapd> server_;
};

TEST_P(Directory, SearchesAnswerAlike)
{
    locmail::log::CaptureLog log;
    ldapClient client;
    ASSERT_EQ(client.ldapClientConnect("127.0.0.1", locmail::ldap::ConfiguredPort()), 0);
    ASSERT_EQ(client.ldapClientBind("", ""), 0);
    struct Case {
        const char* filter;
        int count;
    } cases[] = {
        {"(&(objectclass=qxconfig)(cn=PreProcessor))", 1},
        {"(&(OBJECTCLASS=QXCONFIG)(cn=preprocessor))", 1},
        {"(|(uid=alice)(uid=bob))", 2},
        {"(&(othermailbox=*)(!(uid=bob)))", 1},
        {"(othermailbox=mailx$ALI)", 1},
        {"(uid=carol)", 0},
    };
    for (const Case& c : cases) {
        int count = -1;
        locmail::ldap::SearchResult result(client.ldapClientSearch("", 2, 0, c.filter, &count));
        ASSERT_NE(result, nullptr) << c.filter;
        EXPECT_EQ(count, c.count) << c.filter;
    }
    log.Clear();
    int count = 0;
    locmail::ldap::SearchResult result(
        client.ldapClientSearch("", 2, 0, "(&(objectclass=qxconfig)(cn=PreProcessor))", &count));
    // The continued line joined, the base64 value decoded, the 600-byte value
    // left out with a line.
    EXPECT_EQ(Values(*result, "x-vexblaction"),
              (std::vector<std::string>{"0:a.example,P,i,local:b", "0:b.example,p,d"}));
    EXPECT_EQ(log.LinesOf("LDAP Client").size(), 1u);
    EXPECT_EQ(client.ldapClientUnbind(), 0);

    CVEXLDAP store;
    store.SetLookup(std::make_unique<locmail::ldap::ClientLookup>());
    char name[CVEXLDAP::kLocalNameSize];
    EXPECT_TRUE(store.GetOtherMbxAttr("(othermailbox=MAILX$ali)", "local", name));
    EXPECT_STREQ(name, "alice@example.org");
    EXPECT_FALSE(store.GetOtherMbxAttr("(othermailbox=MAILX$nobody)", "local", name));
}

INSTANTIATE_TEST_SUITE_P(SlapdAndLdif, Directory, testing::Bool(),
                         [](const auto& info) { return info.param ? "Slapd" : "LdifFile"; });

TEST(DirectoryServer, FailuresCostBoundedTime)
{
    TempDir dir;
    Slapd server(dir, DirectoryLdif());
    UseConfig(dir, "TimeOutSeconds=1\n");
    {
        ldapClient client;
        ASSERT_EQ(client.ldapClientConnect("127.0.0.1", server.port()), 0);
        EXPECT_NE(client.ldapClientBind("cn=admin,o=locmail", "wrong"), 0);
    }
    EXPECT_NE(ldapClient().ldapClientConnect("127.0.0.1", FreeLoopbackPort()), 0);

    // A listener of ours that never accepts nor answers: connect works, the bind
    // gives up.
    int port = 0;
    const int silent = BoundSocket(port, true);
    const auto start = std::chrono::steady_clock::now();
    ldapClient client;
    if (client.ldapClientConnect("127.0.0.1", port) == 0) {
        EXPECT_NE(client.ldapClientBind("", ""), 0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    ::close(silent);
    ::unsetenv("LOCMAIL_CONFIG");
}

TEST(LdifFile, MalformedOrOversizedIsRefusedWhole)
{
    std::string many;
    for (std::size_t i = 0; i <= locmail::ldap::kMaxLdifEntries; ++i)
        many += "dn: cn=" + std::to_string(i) + "\ncn: x\n\n";
    struct Case {
        std::string text;
        std::string error;
    } cases[] = {
        {"dn: cn=a\nno colon here\n", "line 2: no attribute name and colon"},
        {"cn: a\n", "line 1: an entry must begin with \"dn:\""},
        {"dn: cn=a\ncn:: !!!!\n", "line 2: bad base64 value"},
        {"dn: cn=a\njpegPhoto:< file:///etc/passwd\n", "line 2: values from URLs are not served"},
        {"dn: cn=a\nchangetype: delete\n", "line 2: \"changetype:\" inside an entry (change records are not "
                                           "served)"},
        {many, "line " + std::to_string(3 * locmail::ldap::kMaxLdifEntries + 1) + ": more than 10000 entries"},
    };
    for (const Case& c : cases) {
        locmail::ldap::LdifContent content = locmail::ldap::ParseLdif(c.text);
        EXPECT_EQ(content.error, c.error);
        EXPECT_TRUE(content.entries.empty());
    }
    TempDir dir;
    WriteFile(dir / "big.ldif", "dn: cn=a\ncn: " + std::string(locmail::ldap::kMaxLdifBytes, 'a') + "\n");
    EXPECT_EQ(locmail::ldap::ReadLdif(dir / "big.ldif").error, "larger than 8388608 bytes");
    for (const char* filter : {"(cn=a*)", "(cn>=a)", "(&)", "(cn=a", "cn=a", "(!(cn=a)(cn=b))"})
        EXPECT_FALSE(locmail::ldap::ParseFilter(filter)) << filter;
}

} // namespace
