#include "support/spool_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "job/page_file_names.h"
#include "job/page_reader.h"

namespace kt482::test {

SpoolTest::SpoolTest()
{
    std::string templ = (std::filesystem::temp_directory_path() / "kt482-spool-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    dir = templ;
}

SpoolTest::~SpoolTest()
{
    (void)files().close_all();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::string SpoolTest::page_path(int page) const
{
    return PageFileName(dir, page);
}

bool SpoolTest::page_exists(int page) const
{
    return std::filesystem::exists(std::filesystem::symlink_status(page_path(page)));
}

std::string SpoolTest::file_bytes(const std::string& path) const
{
    (void)files().close_all();
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<ReadRecord> SpoolTest::read_page(int page)
{
    Files& f = files();
    std::vector<ReadRecord> records;
    auto handle = f.free_handle();
    EXPECT_TRUE(handle.ok());
    if (!handle)
        return records;
    Status opened = f.open(*handle, page_path(page));
    EXPECT_TRUE(opened.ok()) << opened.failure().description;
    PageReader reader(f, *handle);
    PageRecordHeader header;
    std::array<std::string, 6> fields;
    for (;;) {
        auto more = reader.next(header, fields);
        EXPECT_TRUE(more.ok()) << (more.ok() ? "" : more.failure().description);
        if (!more || !*more)
            break;
        ReadRecord r;
        r.code.assign(header.RecordCode.begin(), header.RecordCode.end());
        r.fields.assign(fields.begin() + 1, fields.end());
        records.push_back(std::move(r));
    }
    (void)f.close(*handle);
    return records;
}

std::vector<std::string> SpoolTest::message_titles() const
{
    std::vector<std::string> titles;
    for (const auto& m : sink.messages)
        titles.push_back(m.title);
    return titles;
}

}  // namespace kt482::test
