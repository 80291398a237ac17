#include "platform/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kt482 {
namespace {

namespace fs = std::filesystem;

int32_t code(ErrorNumber n)
{
    return static_cast<int32_t>(n);
}

// A fresh folder per test, removed with everything in it afterwards.
class PosixFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string base = (tmp && *tmp) ? tmp : "/tmp";
        std::string templ = base + "/kt482_files_XXXXXX";
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        dir_ = templ;
        files_ = make_posix_files();
    }

    void TearDown() override
    {
        files_.reset();
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    static void write_file(const std::string& p, const std::string& content)
    {
        std::ofstream(p, std::ios::binary) << content;
    }

    static std::string read_file(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    std::string read_all(FileHandle h)
    {
        auto len = files_->length(h);
        EXPECT_TRUE(len.ok());
        std::string out(len.ok() ? *len : 0, '\0');
        auto n = files_->read_at(h, 0, out);
        EXPECT_TRUE(n.ok());
        out.resize(n.ok() ? *n : 0);
        return out;
    }

    fs::path dir_;
    std::unique_ptr<Files> files_;
};

TEST_F(PosixFilesTest, CreatesMissingFileWithOwnerOnlyPermissions)
{
    mode_t old = ::umask(022);
    Status s = files_->open(1, path("new.bin"));
    ::umask(old);
    ASSERT_TRUE(s.ok());
    struct stat st {};
    ASSERT_EQ(::stat(path("new.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(*files_->length(1), 0u);
}

TEST_F(PosixFilesTest, ExistingFileKeepsItsContentAndAppendsGoAtItsEnd)
{
    write_file(path("old.bin"), "HEAD");
    ASSERT_TRUE(files_->open(1, path("old.bin")).ok());
    EXPECT_EQ(*files_->length(1), 4u);
    ASSERT_TRUE(files_->append(1, "tail").ok());
    ASSERT_TRUE(files_->close(1).ok());
    EXPECT_EQ(read_file(path("old.bin")), "HEADtail");
}

TEST_F(PosixFilesTest, HandleNumbersAreChecked)
{
    for (FileHandle bad : {FileHandle{0}, FileHandle{-1}, FileHandle{256}}) {
        EXPECT_EQ(files_->open(bad, path("f")).failure().number, code(ErrorNumber::BadFileNameOrNumber));
        EXPECT_FALSE(files_->is_open(bad));
        EXPECT_EQ(files_->close(bad).failure().number, code(ErrorNumber::BadFileNameOrNumber));
    }
    // A valid number with nothing open on it.
    EXPECT_EQ(files_->append(3, "x").failure().number, code(ErrorNumber::BadFileNameOrNumber));
    EXPECT_EQ(files_->length(3).failure().number, code(ErrorNumber::BadFileNameOrNumber));
    char buf[4];
    EXPECT_EQ(files_->read_at(3, 0, buf).failure().number, code(ErrorNumber::BadFileNameOrNumber));
    EXPECT_TRUE(files_->close(3).ok());

    ASSERT_TRUE(files_->open(3, path("a")).ok());
    EXPECT_EQ(files_->open(3, path("b")).failure().number, code(ErrorNumber::FileAlreadyOpen));
    EXPECT_TRUE(files_->is_open(3));
}

TEST_F(PosixFilesTest, FreeHandleIsTheLowestUnused)
{
    EXPECT_EQ(*files_->free_handle(), 1);
    ASSERT_TRUE(files_->open(1, path("a")).ok());
    ASSERT_TRUE(files_->open(2, path("b")).ok());
    ASSERT_TRUE(files_->open(4, path("c")).ok());
    EXPECT_EQ(*files_->free_handle(), 3);
    ASSERT_TRUE(files_->open(3, path("d")).ok());
    EXPECT_EQ(*files_->free_handle(), 5);
    ASSERT_TRUE(files_->close(2).ok());
    EXPECT_FALSE(files_->is_open(2));
    EXPECT_EQ(*files_->free_handle(), 2);
}

TEST_F(PosixFilesTest, AllHandlesTakenIsTooManyFiles)
{
    for (int h = 1; h <= 255; ++h)
        ASSERT_TRUE(files_->open(static_cast<FileHandle>(h), path("f" + std::to_string(h))).ok()) << h;
    EXPECT_EQ(files_->free_handle().failure().number, code(ErrorNumber::TooManyFiles));
    ASSERT_TRUE(files_->close_all().ok());
    EXPECT_EQ(*files_->free_handle(), 1);
    EXPECT_FALSE(files_->is_open(255));
}

TEST_F(PosixFilesTest, SymlinkIsRefusedAndItsTargetUntouched)
{
    write_file(path("target"), "keep");
    fs::create_symlink(path("target"), path("link"));
    fs::create_symlink(path("nowhere"), path("dangling"));

    EXPECT_EQ(files_->open(1, path("link")).failure().number, code(ErrorNumber::PathFileAccessError));
    EXPECT_EQ(files_->open(1, path("dangling")).failure().number, code(ErrorNumber::PathFileAccessError));
    EXPECT_FALSE(files_->is_open(1));
    EXPECT_EQ(read_file(path("target")), "keep");
    EXPECT_FALSE(fs::exists(path("nowhere")));
}

TEST_F(PosixFilesTest, FoldersAndFifosAreRefused)
{
    fs::create_directory(path("sub"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    EXPECT_EQ(files_->open(1, path("sub")).failure().number, code(ErrorNumber::PathFileAccessError));
    // Must come back at once rather than wait for a writer.
    EXPECT_EQ(files_->open(1, path("fifo")).failure().number, code(ErrorNumber::PathFileAccessError));
    EXPECT_FALSE(files_->is_open(1));
    EXPECT_EQ(*files_->free_handle(), 1);
}

TEST_F(PosixFilesTest, MissingFolderIsPathNotFound)
{
    write_file(path("plain"), "");
    EXPECT_EQ(files_->open(1, path("nodir/f")).failure().number, code(ErrorNumber::PathNotFound));
    EXPECT_EQ(files_->open(1, path("plain/f")).failure().number, code(ErrorNumber::PathNotFound));
}

TEST_F(PosixFilesTest, ReadOnlyFolderIsPermissionDenied)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root bypasses file permissions";
    fs::create_directory(path("locked"));
    fs::permissions(path("locked"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(files_->open(1, path("locked/f")).failure().number, code(ErrorNumber::PermissionDenied));
    write_file(path("ro"), "x");
    fs::permissions(path("ro"), fs::perms::owner_read);
    EXPECT_EQ(files_->open(1, path("ro")).failure().number, code(ErrorNumber::PermissionDenied));
    fs::permissions(path("locked"), fs::perms::owner_all);
}

TEST_F(PosixFilesTest, AppendsAreVisibleBeforeClose)
{
    ASSERT_TRUE(files_->open(1, path("f")).ok());
    ASSERT_TRUE(files_->append(1, "hello ").ok());
    EXPECT_EQ(*files_->length(1), 6u);
    ASSERT_TRUE(files_->append(1, "world").ok());

    char buf[16] = {};
    auto n = files_->read_at(1, 6, std::span<char>(buf, 16));
    ASSERT_TRUE(n.ok());
    EXPECT_EQ(std::string(buf, *n), "world");
    EXPECT_EQ(*files_->read_at(1, 100, std::span<char>(buf, 16)), 0u);
    EXPECT_EQ(read_file(path("f")), "hello world");
}

TEST_F(PosixFilesTest, ManySmallRecordsReadBackExactly)
{
    ASSERT_TRUE(files_->open(1, path("spool")).ok());
    std::string expected;
    for (int i = 0; i < 100000; ++i) {
        std::string record = "R" + std::to_string(i) + std::string(static_cast<std::size_t>(i % 37), 'x') + '\0' + "\n";
        expected += record;
        ASSERT_TRUE(files_->append(1, record).ok());
    }
    // One block larger than the buffer, after buffered records.
    std::string big(200000, 'B');
    ASSERT_TRUE(files_->append(1, big).ok());
    ASSERT_TRUE(files_->append(1, "end").ok());
    expected += big + "end";

    EXPECT_EQ(*files_->length(1), expected.size());
    EXPECT_EQ(read_all(1), expected);
    ASSERT_TRUE(files_->close(1).ok());
    EXPECT_EQ(read_file(path("spool")), expected);
}

TEST_F(PosixFilesTest, DestroyingTheServiceWritesPendingAppends)
{
    ASSERT_TRUE(files_->open(1, path("a")).ok());
    ASSERT_TRUE(files_->open(7, path("b")).ok());
    ASSERT_TRUE(files_->append(1, "pending a").ok());
    ASSERT_TRUE(files_->append(7, "pending b").ok());
    files_.reset();
    EXPECT_EQ(read_file(path("a")), "pending a");
    EXPECT_EQ(read_file(path("b")), "pending b");
}

TEST_F(PosixFilesTest, RemoveDistinguishesMissingFileFromMissingFolder)
{
    write_file(path("f"), "x");
    EXPECT_TRUE(files_->remove(path("f")).ok());
    EXPECT_FALSE(fs::exists(path("f")));
    EXPECT_EQ(files_->remove(path("f")).failure().number, code(ErrorNumber::FileNotFound));
    EXPECT_EQ(files_->remove(path("nodir/f")).failure().number, code(ErrorNumber::PathNotFound));
    fs::create_directory(path("sub"));
    EXPECT_EQ(files_->remove(path("sub")).failure().number, code(ErrorNumber::PathFileAccessError));
    EXPECT_TRUE(fs::is_directory(path("sub")));
}

TEST_F(PosixFilesTest, RemoveDeletesTheSymlinkNotItsTarget)
{
    write_file(path("target"), "keep");
    fs::create_symlink(path("target"), path("link"));
    EXPECT_TRUE(files_->remove(path("link")).ok());
    EXPECT_FALSE(fs::is_symlink(path("link")));
    EXPECT_EQ(read_file(path("target")), "keep");
}

TEST_F(PosixFilesTest, RemoveMatchingDeletesOnlyMatchingNonFolders)
{
    write_file(path("KT482_PRT_PAGE_1.tmp"), "1");
    write_file(path("KT482_PRT_PAGE_22.tmp"), "2");
    write_file(path("KT482_PRT_PAGE_.tmp"), "3");
    write_file(path("other.tmp"), "o");
    write_file(path("KT482_PRT_PAGE_1.tmpx"), "t");
    write_file(path("target"), "keep");
    fs::create_symlink(path("target"), path("KT482_PRT_PAGE_link.tmp"));
    fs::create_directory(path("KT482_PRT_PAGE_x.tmp"));

    EXPECT_TRUE(files_->remove_matching(path("KT482_PRT_PAGE_*.tmp")).ok());

    EXPECT_FALSE(fs::exists(path("KT482_PRT_PAGE_1.tmp")));
    EXPECT_FALSE(fs::exists(path("KT482_PRT_PAGE_22.tmp")));
    EXPECT_FALSE(fs::exists(path("KT482_PRT_PAGE_.tmp")));
    EXPECT_FALSE(fs::is_symlink(path("KT482_PRT_PAGE_link.tmp")));
    EXPECT_EQ(read_file(path("target")), "keep");
    EXPECT_TRUE(fs::exists(path("other.tmp")));
    EXPECT_TRUE(fs::exists(path("KT482_PRT_PAGE_1.tmpx")));
    EXPECT_TRUE(fs::is_directory(path("KT482_PRT_PAGE_x.tmp")));
}

TEST_F(PosixFilesTest, RemoveMatchingAcceptsDoubleSeparatorAndCurrentFolder)
{
    write_file(path("KT482_PRT_PAGE_1.tmp"), "1");
    EXPECT_TRUE(files_->remove_matching(dir_.string() + "//KT482_PRT_PAGE_*.tmp").ok());
    EXPECT_FALSE(fs::exists(path("KT482_PRT_PAGE_1.tmp")));

    write_file(path("KT482_PRT_PAGE_2.tmp"), "2");
    fs::path saved = fs::current_path();
    fs::current_path(dir_);
    Status s = files_->remove_matching("KT482_PRT_PAGE_*.tmp");
    fs::current_path(saved);
    EXPECT_TRUE(s.ok());
    EXPECT_FALSE(fs::exists(path("KT482_PRT_PAGE_2.tmp")));
}

TEST_F(PosixFilesTest, RemoveMatchingReportsNoMatchAndMissingFolder)
{
    write_file(path("other.tmp"), "o");
    fs::create_directory(path("KT482_PRT_PAGE_x.tmp"));
    EXPECT_EQ(files_->remove_matching(path("KT482_PRT_PAGE_*.tmp")).failure().number,
              code(ErrorNumber::FileNotFound));
    EXPECT_EQ(files_->remove_matching(path("nodir/KT482_*.tmp")).failure().number,
              code(ErrorNumber::PathNotFound));
    EXPECT_EQ(files_->remove_matching(path("other.tmp/KT482_*.tmp")).failure().number,
              code(ErrorNumber::PathNotFound));
}

TEST_F(PosixFilesTest, WildcardsMatchCodePointsAndBacktrack)
{
    for (const char* name : {"abc", "ac", "abbc", "a\xC3\xA9" "c", "xaby", "xabyab"})
        write_file(path(name), "");

    // '?' is exactly one code point, a two-byte one included.
    EXPECT_TRUE(files_->remove_matching(path("a?c")).ok());
    EXPECT_FALSE(fs::exists(path("abc")));
    EXPECT_FALSE(fs::exists(path("a\xC3\xA9" "c")));
    EXPECT_TRUE(fs::exists(path("ac")));
    EXPECT_TRUE(fs::exists(path("abbc")));

    // The star has to give back characters it first swallowed.
    EXPECT_TRUE(files_->remove_matching(path("*ab")).ok());
    EXPECT_FALSE(fs::exists(path("xabyab")));
    EXPECT_TRUE(fs::exists(path("xaby")));

    // Many stars against a long name that fails only at its end: a matcher
    // that retries every split would not finish.
    std::string name(200, 'a');
    write_file(path(name), "");
    EXPECT_EQ(files_->remove_matching(path("*a*a*a*a*a*a*a*a*a*a*b")).failure().number,
              code(ErrorNumber::FileNotFound));
    EXPECT_TRUE(files_->remove_matching(path("*a*a*a*a*a*a*a*a*a*a")).ok());
    EXPECT_FALSE(fs::exists(path(name)));
}

}  // namespace
}  // namespace kt482
