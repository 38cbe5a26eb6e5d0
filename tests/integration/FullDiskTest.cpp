// The store on a small ext4 file system that fills up (1 KiB blocks, the
// default below 512 MB, where SQLite's shared-memory file gets pages with
// holes that used to kill the run with SIGBUS; and 4 KiB blocks), that runs
// out of inodes, or that is mounted read-only. Needs root and a loop device
// (mke2fs, mount -o loop); skipped with the reason otherwise.
#include "integration/RunSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sysexits.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// An ext4 image of SIZE bytes made with mke2fs OPTIONS, mounted at DIR while the object lives.
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& dir, std::uintmax_t size, const std::vector<std::string>& options)
        : dir_(dir), image_(dir + ".img")
    {
        fs::create_directories(dir_);
        { std::ofstream(image_).flush(); }
        fs::resize_file(image_, size);
        std::vector<std::string> mke2fs{"mke2fs", "-q", "-F", "-t", "ext4"};
        mke2fs.insert(mke2fs.end(), options.begin(), options.end());
        mke2fs.push_back(image_);
        CommandResult made, mounted;
        if (::geteuid() != 0) {
            why_ = "mounting a file system needs root";
        } else if ((made = RunProgram(mke2fs)).exitCode != 0) {
            why_ = "mke2fs failed: " + made.output;
        } else if ((mounted = RunProgram({"mount", "-o", "loop", image_, dir_})).exitCode != 0) {
            why_ = "mount -o loop failed (no loop device here?): " + mounted.output;
        } else {
            mounted_ = true;
        }
    }
    ~SmallFileSystem()
    {
        if (mounted_)
            RunProgram({"umount", dir_});
        std::error_code ec;
        fs::remove(image_, ec);
    }
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool Mounted() const { return mounted_; }
    bool Remount(const char* how)
    {
        return RunProgram({"mount", "-o", std::string("remount,") + how, dir_}).exitCode == 0;
    }
    const std::string& Why() const { return why_; }
    const std::string& Dir() const { return dir_; }

private:
    std::string dir_, image_, why_;
    bool mounted_ = false;
};

// Writes PATH until the file system has no block left; its size then.
std::uintmax_t FillUp(const std::string& path)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    for (std::size_t size : {std::size_t{64 * 1024}, std::size_t{1024}}) {
        const std::string block = std::string(size, 'f');
        while (::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size())) {
        }
    }
    ::fsync(fd);
    ::close(fd);
    return fs::file_size(path);
}

// An installation whose store lives on SMALL; the test skips when it could not be mounted.
struct StoreOnSmallDisk {
    StoreOnSmallDisk(std::uintmax_t size, const std::vector<std::string>& options)
        : small(inst.Dir() + "/small", size, options)
    {
        MustRun(inst, {"user", "add", "alice@example.org"});
        if (!small.Mounted())
            return;
        fs::copy(inst.Dir() + "/store", small.Dir() + "/store", fs::copy_options::recursive);
        SetConfig(inst, "HomeDir", small.Dir() + "/store");
    }
    // After the repair: one more run files every subject exactly once and empties the queue.
    void ExpectEachFiledOnce(std::vector<std::string> subjects)
    {
        auto after = inst.Run({"run", "--once"});
        EXPECT_EQ(after.exitCode, EX_OK) << after.output;
        auto filed = InboxSubjects(inst, "alice@example.org");
        std::sort(filed.begin(), filed.end());
        std::sort(subjects.begin(), subjects.end());
        EXPECT_EQ(filed, subjects) << "each message filed exactly once";
        EXPECT_TRUE(OnChannel(inst, "local").empty());
        EXPECT_TRUE(OnChannel(inst, "localout").empty()) << "a store that cannot be written returns nothing";
    }
    Installation inst;
    SmallFileSystem small;
};

TEST(FullDisk, AStoreThatFillsUpKeepsMailQueuedAndNeverCrashes)
{
    for (unsigned blockSize : {1024u, 4096u}) {
        SCOPED_TRACE(std::to_string(blockSize) + "-byte blocks");
        StoreOnSmallDisk disk(blockSize * 4096, {"-b", std::to_string(blockSize)});
        if (!disk.small.Mounted())
            GTEST_SKIP() << disk.small.Why();
        Installation& inst = disk.inst;
        SmallFileSystem& small = disk.small;

        const std::string filler = small.Dir() + "/filler";
        const std::uintmax_t full = FillUp(filler);
        std::vector<std::string> subjects;
        std::set<int> statuses;
        // From no block free to enough for the relations' first pages: each run
        // delivers or keeps the message queued (75), and ends by itself.
        for (int freeBlocks : {0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 16, 20, 24, 32, 48, 64, 96, 128}) {
            SCOPED_TRACE(std::to_string(freeBlocks) + " blocks free");
            fs::resize_file(filler, full - std::min<std::uintmax_t>(full, freeBlocks * std::uintmax_t{blockSize}));
            subjects.push_back("free-" + std::to_string(freeBlocks));
            MustRun(inst, {"inject", "-f", "bob@example.org", "alice@example.org"},
                    "Subject: " + subjects.back() + "\r\n\r\nbody\r\n");
            auto run = inst.Run({"run", "--once"});
            EXPECT_TRUE(run.exitCode == EX_OK || run.exitCode == EX_TEMPFAIL) << run.exitCode << ": " << run.output;
            statuses.insert(run.exitCode);
            FillUp(small.Dir() + "/filler-" + std::to_string(freeBlocks)); // what the run left free is taken again
        }
        EXPECT_TRUE(statuses.count(EX_TEMPFAIL)) << "the file system never got full enough to matter";
        EXPECT_TRUE(OnChannel(inst, "localout").empty()) << "a full disk returns nothing";

        for (const auto& entry : fs::directory_iterator(small.Dir()))
            if (entry.path().filename().string().starts_with("filler"))
                fs::remove(entry.path());
        disk.ExpectEachFiledOnce(subjects);
    }
}

// No inode left, or the store mounted read-only: the message waits (75) and
// nothing is returned; once repaired, the copy is filed once.
TEST(FullDisk, AStoreWithoutInodesOrReadOnlyKeepsMailQueued)
{
    for (const char* fault : {"no inodes", "read-only"}) {
        SCOPED_TRACE(fault);
        StoreOnSmallDisk disk(8 << 20, {"-b", "4096", "-N", "64"});
        if (!disk.small.Mounted())
            GTEST_SKIP() << disk.small.Why();
        std::vector<std::string> fillers;
        bool readOnly = std::string(fault) == "read-only";
        if (readOnly) {
            ASSERT_TRUE(disk.small.Remount("ro"));
        } else {
            for (int i = 0;; ++i) {
                fillers.push_back(disk.small.Dir() + "/inode-" + std::to_string(i));
                int fd = ::open(fillers.back().c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
                if (fd < 0)
                    break;
                ::close(fd);
            }
        }
        MustRun(disk.inst, {"inject", "-f", "bob@example.org", "alice@example.org"}, "Subject: waits\r\n\r\nbody\r\n");
        auto run = disk.inst.Run({"run", "--once"});
        EXPECT_EQ(run.exitCode, EX_TEMPFAIL) << run.output;
        EXPECT_EQ(OnChannel(disk.inst, "local").size(), 1u);

        if (readOnly) {
            ASSERT_TRUE(disk.small.Remount("rw"));
        }
        for (const auto& path : fillers)
            ::unlink(path.c_str());
        disk.ExpectEachFiledOnce({"waits"});
    }
}

} // namespace
