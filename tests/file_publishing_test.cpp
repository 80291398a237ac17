// A finished file's permissions come from the process's creation mask,
// which is read without being set, even for a moment: another thread of the
// host may be creating files meanwhile.
#include "platform/file_publishing.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

namespace kt482 {
namespace {

namespace fs = std::filesystem;

class FilePublishing : public testing::TestWithParam<mode_t> {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kt482-publishing-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        old_mask_ = ::umask(GetParam());
    }
    void TearDown() override
    {
        ::umask(old_mask_);
        fs::remove_all(dir_);
    }
    std::string dir_;
    mode_t old_mask_ = 022;
};

TEST_P(FilePublishing, TemporaryTakesTheProcesssMask)
{
    EXPECT_EQ(process_umask(), GetParam());
    std::string path;
    const int fd = create_temporary_in(dir_, path);
    ASSERT_GE(fd, 0);
    ::close(fd);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~GetParam());
}

// A watcher reads the mask the whole time files are published: it never
// sees it changed.
TEST_P(FilePublishing, MaskNeverChangesWhileFilesArePublished)
{
    std::atomic<bool> done{false};
    std::atomic<int> changed{0};
    std::thread watcher([&] {
        while (!done)
            if (process_umask() != GetParam())
                ++changed;
    });
    for (int i = 0; i < 2000; ++i) {
        std::string path;
        const int fd = create_temporary_in(dir_, path);
        ASSERT_GE(fd, 0);
        ::close(fd);
        ::unlink(path.c_str());
    }
    done = true;
    watcher.join();
    EXPECT_EQ(changed, 0);
}

INSTANTIATE_TEST_SUITE_P(Masks, FilePublishing, testing::Values(mode_t{022}, mode_t{077}, mode_t{002}));

}  // namespace
}  // namespace kt482
