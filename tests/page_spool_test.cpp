#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "job/page_file_names.h"
#include "job/page_reader.h"
#include "job/page_record.h"
#include "job/page_writer.h"
#include "job/record_code.h"
#include "kt482/kt482.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

std::string header_bytes(const char* code, int16_t text_length, std::array<int16_t, 6> fields)
{
    PageRecordHeader h;
    h.Marker = {':', 'C'};
    h.TextLength = text_length;
    std::copy(code, code + 4, h.RecordCode.begin());
    h.FieldLength = fields;
    std::string bytes(kRecordHeaderSize, '\0');
    encode_record_header(h, bytes.data());
    return bytes;
}

class PageSpoolTest : public SpoolTest {
protected:
    void write_raw(int page, const std::string& bytes)
    {
        std::ofstream(page_path(page), std::ios::binary) << bytes;
    }

    // Reads the page; returns the records read and the failure that ended
    // the reading, if any.
    std::pair<std::vector<ReadRecord>, std::optional<Failure>> read_raw(int page)
    {
        Files& f = files();
        FileHandle handle = *f.free_handle();
        EXPECT_TRUE(f.open(handle, page_path(page)).ok());
        PageReader reader(f, handle);
        PageRecordHeader header;
        std::array<std::string, 6> fields;
        std::vector<ReadRecord> records;
        std::optional<Failure> failure;
        for (;;) {
            auto more = reader.next(header, fields);
            if (!more) {
                failure = more.failure();
                break;
            }
            if (!*more)
                break;
            records.push_back({std::string(header.RecordCode.begin(), header.RecordCode.end()),
                               std::vector<std::string>(fields.begin() + 1, fields.end())});
        }
        (void)f.close(handle);
        return {records, failure};
    }
};

TEST(RecordCodes, EveryCodeAndNoNearMiss)
{
    for (const RecordCodeInfo& info : kRecordCodes) {
        EXPECT_EQ(record_code_of(info.text), info.code) << info.text;
        // The same letters with a blank short, in other case, or a byte on.
        const std::string text(info.text);
        for (const std::string& other : {text.substr(0, 3), text + " ", std::string("\0", 1) + text.substr(1),
                                         std::string(1, static_cast<char>(text[0] ^ 0x20)) + text.substr(1),
                                         text.substr(0, 3) + static_cast<char>(text[3] + 0x80)})
            EXPECT_FALSE(record_code_of(other)) << '"' << other << '"';
    }
    EXPECT_FALSE(record_code_of(""));
}

TEST(PageFileNames, FolderJoinAndDigits)
{
    EXPECT_EQ(PageFileName("", 7), "KT482_PRT_PAGE_0007.tmp");
    EXPECT_EQ(PageFileName("/tmp/x", 7), "/tmp/x/KT482_PRT_PAGE_0007.tmp");
    EXPECT_EQ(PageFileName("/tmp/x/", 125), "/tmp/x//KT482_PRT_PAGE_0125.tmp");
    EXPECT_EQ(PageFileName("", 10000), "KT482_PRT_PAGE_10000.tmp");
    EXPECT_EQ(PageFilePattern(""), "KT482_PRT_PAGE_*.tmp");
    EXPECT_EQ(PageFilePattern("/tmp/x"), "/tmp/x/KT482_PRT_PAGE_*.tmp");
}

TEST_F(PageSpoolTest, StringRecordHasTheExactBytes)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    job.E_StartEdit();
    job.E_String(2, 3, "ABC");
    job.E_EndEdit();

    const std::string expected = header_bytes("ST  ", 13, {0, 5, 5, 3, 0, 0}) + "2.0003.000ABC";
    EXPECT_EQ(file_bytes(page_path(1)), expected);
    EXPECT_EQ(file_bytes(page_path(1)).substr(0, 4), std::string(":C\x0d\x00", 4));
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PageSpoolTest, DoubleByteAndEmptyTextsReadBack)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    job.E_StartEdit();
    job.E_String(1, 1, "請求");
    job.E_String(2, 1, "");
    job.E_String(3, 1, "末尾");
    job.E_EndEdit();

    const std::string bytes = file_bytes(page_path(1));
    // Two characters count 2 in the header and take six bytes in UTF-8.
    EXPECT_EQ(bytes.substr(0, 20), header_bytes("ST  ", 12, {0, 5, 5, 2, 0, 0}));
    EXPECT_EQ(bytes.substr(20, 16), "1.0001.000請求");

    auto records = read_page(1);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].fields[2], "請求");
    EXPECT_EQ(records[1].fields[2], "");
    EXPECT_EQ(records[2].fields[2], "末尾");
    EXPECT_EQ(records[2].fields[0], "3.000");
}

TEST_F(PageSpoolTest, FieldsCutShortByTheTextEnd)
{
    // Field counts promise 3 + 4 + 9 characters but the text holds 5.
    write_raw(1, header_bytes("XX  ", 5, {0, 3, 4, 9, 2, 7}) + "abcde");
    auto [records, failure] = read_raw(1);
    ASSERT_FALSE(failure);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{"abc", "de", "", "", ""}));
}

TEST_F(PageSpoolTest, StrayBytesAfterTheLastRecord)
{
    const std::string record = header_bytes("ST  ", 3, {0, 1, 1, 1, 0, 0}) + "123";
    write_raw(1, record + "x");
    auto one = read_raw(1);
    EXPECT_FALSE(one.second);
    EXPECT_EQ(one.first.size(), 1u);

    write_raw(2, record + "xy");
    auto two = read_raw(2);
    ASSERT_TRUE(two.second);
    EXPECT_TRUE(two.second->is(ErrorNumber::InputPastEndOfFile));
    EXPECT_EQ(two.first.size(), 1u);
}

TEST_F(PageSpoolTest, DamagedFilesEndWithAFailure)
{
    struct Case {
        const char* name;
        std::string bytes;
        ErrorNumber expected;
    };
    const std::vector<Case> cases = {
        {"negative text length", header_bytes("ST  ", -1, {}) + "abc", ErrorNumber::BadRecordLength},
        {"text beyond the file", header_bytes("ST  ", 32767, {0, 1, 1, 1, 0, 0}) + "abc",
         ErrorNumber::InputPastEndOfFile},
        {"header cut short", header_bytes("ST  ", 3, {}).substr(0, 11), ErrorNumber::InputPastEndOfFile},
        {"invalid UTF-8", header_bytes("ST  ", 3, {0, 1, 1, 1, 0, 0}) + "a\xFF" "bcdef", ErrorNumber::InvalidCall},
        {"character cut short", header_bytes("ST  ", 2, {0, 1, 1, 0, 0, 0}) + "a\xE8\xAB", ErrorNumber::InputPastEndOfFile},
        {"negative field length", header_bytes("ST  ", 3, {0, -2, 1, 1, 0, 0}) + "abc", ErrorNumber::BadRecordLength},
        {"invalid UTF-8 in the last bytes", header_bytes("ST  ", 2, {0, 1, 1, 0, 0, 0}) + "a\xFF", ErrorNumber::InvalidCall},
        {"surrogate in the last bytes", header_bytes("ST  ", 2, {0, 1, 1, 0, 0, 0}) + "a\xED\xA0", ErrorNumber::InvalidCall},
        {"stray continuation at the end", header_bytes("ST  ", 1, {0, 1, 0, 0, 0, 0}) + "\x80", ErrorNumber::InvalidCall},
        {"no marker", ":X" + header_bytes("ST  ", 3, {0, 1, 1, 1, 0, 0}).substr(2) + "abc", ErrorNumber::InvalidFileFormat},
        {"marker of a later record", header_bytes("ST  ", 1, {0, 1, 0, 0, 0, 0}) + "a" + std::string(20, 'x'),
         ErrorNumber::InvalidFileFormat},
    };
    int page = 1;
    for (const Case& c : cases) {
        write_raw(page, c.bytes);
        auto [records, failure] = read_raw(page);
        ASSERT_TRUE(failure) << c.name;
        EXPECT_TRUE(failure->is(c.expected)) << c.name << ": " << failure->number;
        ++page;
    }
}

TEST_F(PageSpoolTest, RandomBytesNeverCrashTheReader)
{
    std::mt19937 random(4821);
    const std::string valid = header_bytes("ST  ", 13, {0, 5, 5, 3, 0, 0}) + "2.0003.000ABC" +
                              header_bytes("STN ", 14, {0, 5, 5, 2, 2, 0}) + "1.0001.000請求#0";
    for (int round = 0; round < 400; ++round) {
        std::string bytes = valid + valid;
        // Flip, cut or append random bytes.
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % bytes.size();
            switch (random() % 3) {
            case 0: bytes[at] = static_cast<char>(random()); break;
            case 1: bytes.resize(at); break;
            default: bytes.insert(at, 1, static_cast<char>(random())); break;
            }
            if (bytes.empty())
                bytes = "?";
        }
        write_raw(1, bytes);
        auto [records, failure] = read_raw(1);
        EXPECT_LE(records.size(), 4u);
    }
}

TEST_F(PageSpoolTest, AppendAddsAfterRecordsAlreadyInTheFile)
{
    const std::string old_record = header_bytes("ST  ", 3, {0, 1, 1, 1, 0, 0}) + "123";
    write_raw(1, old_record);
    Files& f = files();
    FileHandle handle = *f.free_handle();
    ASSERT_TRUE(f.open(handle, page_path(1)).ok());
    PageRecordHeader header;
    ASSERT_TRUE(append_record(f, handle, header, RecordCode::Pitch, {"15.000", "6.000"}).ok());
    ASSERT_TRUE(f.close(handle).ok());
    auto records = read_page(1);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].code, "PT  ");
    EXPECT_EQ(records[1].fields[1], "6.000");
}

TEST_F(PageSpoolTest, OverlongTextsAreAnOverflowAndWriteNothing)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    job.E_StartEdit();
    job.E_String(1, 1, "first");
    job.E_String(2, 1, std::string(32768, 'x'));
    // Each field fits, the text part does not.
    job.E_Line_Hor(1, 1, std::string(20000, '1'), std::string(20000, '2'));
    job.E_String(3, 1, std::string(32767 - 10, 'y'));  // exactly 32767 with the row and column
    job.E_EndEdit();

    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : E_String");
    EXPECT_EQ(sink.messages[0].text, "Overflow");
    EXPECT_EQ(sink.messages[1].title, "KT482_Print : E_Line_Hor");
    auto records = read_page(1);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].fields[2].size(), 32757u);
}

}  // namespace
}  // namespace kt482::test
