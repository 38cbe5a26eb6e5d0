// CreateMbx level by level from the store's templates, and the agent's C
// entry points of the folder-name rule (the rule's table: FolderPathTest).
#include "filing/CreateMbx.h"
#include "filing/EncodeMbxPath.h"

#include "suite/msgstore/StoreFixture.h"

#include <stdlib.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <memory>

namespace {

namespace fs = std::filesystem;
namespace ms = locmail::msgstore;

// Takes a malloc'ed string of the C entry points.
std::string Taken(char* text)
{
    std::unique_ptr<char, decltype(&std::free)> owner(text, &std::free);
    return text ? text : "<null>";
}

TEST(EncodeMbxPathTest, FolderNamesOnDiskAndHexBytesAsUnsigned)
{
    struct Case { const char* text; std::string path, hex; } cases[] = {
        {"Spam\\Old", "Spam5370616D\\Old4F6C64", "5370616D5C4F6C64"},
        {"\x01\x7F\x80\xFF", "\x01\x7F\x80\xFF" "017F80FF", "017F80FF"},
        {nullptr, "<null>", "<null>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Taken(EncodeMbxPath(c.text)), c.path) << (c.text ? c.text : "null");
        EXPECT_EQ(Taken(HexEncode(c.text)), c.hex) << (c.text ? c.text : "null");
    }
}

// A bare home beside a prepared store, whose HomeDir the settings name.
class CreateMbxTest : public storetest::StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        SetHomeDir(storeHome);
    }
    void TearDown() override { unsetenv("LOCMAIL_CONFIG"); }

    // A new settings file each time, so no cached copy of an older one can answer.
    void SetHomeDir(const std::string& value)
    {
        const std::string ini = tmp / ("qxmta-" + std::to_string(++inis_) + ".ini");
        testsupport::WriteFile(ini, "[MsgStore]\r\nHomeDir=" + value + "\r\n");
        setenv("LOCMAIL_CONFIG", ini.c_str(), 1);
    }

    std::vector<std::string> Records()
    {
        std::vector<std::pair<std::string, mbxstat>> all;
        EXPECT_EQ(ms::ListMbx(mbx, all), ms::kOk);
        std::vector<std::string> keys;
        for (const auto& [key, stat] : all)
            keys.push_back(key);
        return keys;
    }

    std::vector<std::string> FilesIn(const std::string& relative)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(home + "/" + relative))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    const std::string& store = storeHome;
    mailbox mbx{&base, (fs::create_directories(home), home.c_str()), "mailbox"}; // the home first

private:
    int inis_ = 0;
};

const std::vector<std::string> kEightFiles = {"msgbody.db", "msgbody.id0", "msgbody.str", "msgenv.db",
                                              "msgenv.id0", "msgenv.str",  "msgstat.db",  "msgstat.id0"};

// Level by level: a missing template stops the copy before any record is
// written, and the next call completes the half-made level.
TEST_F(CreateMbxTest, MissingLevelsGetTheTemplatesAndAFreshRecordOnceTheTemplatesAreComplete)
{
    fs::remove(store + "/msgenv.db");
    EXPECT_FALSE(CreateMbx(mbx, home.c_str(), "Spam\\Old"));
    EXPECT_FALSE(fs::exists(home + "/Spam5370616D/Old4F6C64"));
    EXPECT_TRUE(Records().empty());
    std::string error;
    ASSERT_TRUE(ms::WriteStoreTemplates(store, error)) << error;

    const auto before = static_cast<std::int32_t>(std::time(nullptr));
    ASSERT_TRUE(CreateMbx(mbx, home.c_str(), "Spam\\Old"));
    EXPECT_EQ(FilesIn("Spam5370616D/Old4F6C64"), kEightFiles);
    EXPECT_EQ(testsupport::ReadFile(home + "/Spam5370616D/msgenv.db"), testsupport::ReadFile(store + "/msgenv.db"));
    EXPECT_EQ(Records(), (std::vector<std::string>{"Spam", "Spam\\Old"}));
    mbxstat st{};
    ASSERT_EQ(GetMbxStat(mbx, "Spam\\Old", st), ms::kOk);
    EXPECT_EQ((std::vector<std::uint32_t>{st.uidNext, st.flags, st.totalMsgs, st.recentMsgs, st.unseenMsgs,
                                          std::uint32_t(st.reserved)}),
              (std::vector<std::uint32_t>{1, 0, 0, 0, 0, 0}));
    EXPECT_GE(st.createTime, before);
}

// A refused level makes no record; DIR, below the home, is left made or not as MADE says.
TEST_F(CreateMbxTest, RefusedPathsAndStoreSettingsMakeNoRecord)
{
    // HomeDir + "/" + "msgbody.str" must stay below 260 characters: 247 fits, 248 does not.
    const std::string base247 = tmp / "";
    const std::string fits = base247 + std::string(247 - base247.size(), 'h');
    struct Case {
        std::string homeDir; // the store's HomeDir setting
        const char* path;
        bool ok;
        std::string dir;
        bool made;
    } cases[] = {
        {store, "", true, "", true}, // touches nothing
        {store, nullptr, false, "", true},
        {"", "junk", false, "junk6A756E6B", true}, // templates at the root: none there
        {fits + "h", "long", false, "long6C6F6E67", false},
        {fits, "long", false, "long6C6F6E67", true}, // accepted, but no templates there
        {std::string(400, 'x'), "longer", false, "longer6C6F6E676572", false}, // cut to 259 by the settings buffer
    };
    const std::vector<std::string> relation = {"mailbox.db", "mailbox.db-shm", "mailbox.db-wal"};
    const fs::path cwd = fs::current_path();
    fs::current_path(store); // templates beside us must not be used
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path ? c.path : "(null)") + " with HomeDir " + c.homeDir.substr(0, 20));
        SetHomeDir(c.homeDir);
        EXPECT_EQ(CreateMbx(mbx, home.c_str(), c.path), c.ok);
        EXPECT_EQ(fs::exists(home + "/" + c.dir), c.made);
        if (c.made) { // a level stays empty; the home holds only the relation the fixture opened
            EXPECT_EQ(FilesIn(c.dir), c.dir.empty() ? relation : std::vector<std::string>{});
        }
        EXPECT_TRUE(Records().empty());
    }
    fs::current_path(cwd);
}

} // namespace
