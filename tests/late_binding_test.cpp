#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "kt482/kt482.h"
#include "job/number_text.h"
#include "job/page_file_names.h"
#include "support/fake_preview.h"
#include "support/spool_fixture.h"

namespace kt482::test {
namespace {

using LateBindingTest = SpoolTest;

TEST(MemberTable, HoldsEveryMemberOnceWithItsIdentifier)
{
    EXPECT_EQ(member_table().size(), 47u);
    std::set<std::pair<int32_t, MemberKind>> seen;
    for (const MemberInfo& m : member_table())
        EXPECT_TRUE(seen.insert({m.dispid, m.kind}).second) << m.name;
    EXPECT_EQ(dispid_of("e_string"), 0x60030022);
    EXPECT_EQ(dispid_of("P_BAIRITU"), 0x6803000c);
    EXPECT_FALSE(dispid_of("E_Nothing"));
    const MemberInfo* font = find_member("E_FONT", MemberKind::Method);
    ASSERT_NE(font, nullptr);
    ASSERT_EQ(font->params.size(), 4u);
    EXPECT_EQ(font->params[2].name, "P_Font_Bold");
    EXPECT_EQ(font->params[2].type, ParamType::Bool);
    EXPECT_EQ(find_member(0x60030016, MemberKind::Method)->result, ParamType::I2);
}

TEST_F(LateBindingTest, RecordsAndReadsThroughNamesAndIdentifiers)
{
    KT482_Print job;
    EXPECT_EQ(job.Invoke("p_temp_dir", MemberKind::PropertyLet, {dir}).status, InvokeStatus::Ok);
    EXPECT_EQ(job.Invoke("E_StartEdit", MemberKind::Method).status, InvokeStatus::Ok);
    EXPECT_EQ(job.Invoke(0x60030022, MemberKind::Method, {"2", 3, "ABC"}).status, InvokeStatus::Ok);
    job.Invoke("E_Font", MemberKind::Method, {"ＭＳ 明朝", "10.5", "True", Variant()});
    job.Invoke("E_EndEdit", MemberKind::Method);
    EXPECT_EQ(job.Invoke("P_Max_Page", MemberKind::PropertyGet).value, Variant(int16_t{1}));
    EXPECT_EQ(job.Invoke("P_CheckData", MemberKind::PropertyGet).value, Variant(true));
    EXPECT_EQ(job.Invoke("P_Temp_Dir", MemberKind::PropertyGet).value, Variant(dir));

    auto records = read_page(1);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].fields[0] + records[0].fields[1] + records[0].fields[2], "2.0003.000ABC");
    EXPECT_EQ(records[1].fields[2], "-1");
    EXPECT_TRUE(sink.messages.empty());
}

TEST_F(LateBindingTest, TypeMismatchIsReportedAndTheMemberDoesNotRun)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    job.E_StartEdit();
    EXPECT_EQ(job.Invoke("E_String", MemberKind::Method, {"two", 3, "x"}).status, InvokeStatus::Ok);
    job.Invoke("P_Bairitu", MemberKind::PropertyLet, {"70000"});
    job.Invoke("E_DrawStyle", MemberKind::Method, {1, 40000});
    ASSERT_EQ(sink.messages.size(), 2u);
    EXPECT_EQ(sink.messages[0].title, "KT482_Print : E_String");
    EXPECT_EQ(sink.messages[0].text, "Type mismatch");
    EXPECT_EQ(sink.messages[1].title, "KT482_Print : E_DrawStyle");
    EXPECT_EQ(sink.messages[1].text, "Overflow");
    EXPECT_FALSE(job.P_CheckData());
    EXPECT_EQ(job.P_Bairitu(), 1.0f);
}

TEST_F(LateBindingTest, AccessorsIgnoreTextsThatAreNotNumbersWithoutAWord)
{
    KT482_Print job;
    job.P_Temp_Dir(dir);
    job.E_StartEdit();
    const struct {
        const char* name;
        Variant value;
    } lets[] = {{"P_TopMargin", "abc"}, {"P_LeftMargin", ""}, {"P_Bairitu", "1,5x"},
                {"P_PRT_Copy", "two"},  {"P_Bairitu", Variant::null()}, {"P_PRT_Copy", "1e9"}};
    for (const auto& let : lets) {
        EXPECT_EQ(job.Invoke(let.name, MemberKind::PropertyLet, {let.value}).status, InvokeStatus::Ok) << let.name;
        EXPECT_EQ(kt482::job().CurrentProc, "E_StartEdit") << let.name;
    }
    for (const MemberInfo& m : member_table()) {
        if (m.kind == MemberKind::PropertyGet && m.result != ParamType::Object)
            job.Invoke(m.dispid, m.kind);
    }
    EXPECT_EQ(kt482::job().CurrentProc, "E_StartEdit");
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(job.P_TopMargin(), 10.0f);
    EXPECT_EQ(job.P_LeftMargin(), 10.0f);
    EXPECT_EQ(job.P_Bairitu(), 1.0f);
    EXPECT_EQ(job.P_PRT_Copy(), 1);
}

TEST_F(LateBindingTest, DispatchLevelErrors)
{
    KT482_Print job;
    EXPECT_EQ(job.Invoke("E_Nothing", MemberKind::Method).status, InvokeStatus::UnknownMember);
    EXPECT_EQ(job.Invoke("P_CurrPage", MemberKind::PropertyLet, {1}).status, InvokeStatus::UnknownMember);
    EXPECT_EQ(job.Invoke("E_String", MemberKind::Method, {1, 2}).status, InvokeStatus::BadParamCount);
    EXPECT_EQ(job.Invoke("E_EndEdit", MemberKind::Method, {1}).status, InvokeStatus::BadParamCount);
    EXPECT_EQ(job.Invoke("P_PRINT", MemberKind::PropertyGet).status, InvokeStatus::NotSupported);
    EXPECT_TRUE(sink.messages.empty());
}

// Every member called late-bound by its identifier does what the direct call
// does. Each call runs on a fresh thread (its own job state) after the same
// start: three pages recorded in a folder of its own, page 2 open again, a
// printer selected, the margins, magnification and copies set to values
// that differ from each other, so a call that reaches the wrong member or
// reads the wrong field shows in the outcome.
struct MemberCall {
    const char* name;
    int32_t dispid;
    MemberKind kind;
    std::vector<Variant> args;
    std::function<Variant(KT482_Print&)> direct;
    bool late_bound = true;  // members with an object reference are not
};

void PrintTo(const MemberCall& row, std::ostream* out)
{
    *out << row.name;
}

struct CallOutcome {
    InvokeStatus status = InvokeStatus::Ok;
    std::string observed;
};

std::string page_bytes(const std::string& folder, int page)
{
    std::ifstream in(PageFileName(folder, page), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

CallOutcome run_member_call(const MemberCall& row, bool late)
{
    CallOutcome outcome;
    std::thread([&] {
        std::string folder = (std::filesystem::temp_directory_path() / "kt482-late-XXXXXX").string();
        ASSERT_NE(mkdtemp(folder.data()), nullptr);
        MessageSink sink;
        FakePrinters printers;
        FakeToolkit toolkit;
        FakePrintDialog dialog;
        ScopedServices services(&sink, &printers, nullptr, &toolkit, &dialog);
        std::ostringstream seen;
        {
            KT482_Print o;
            o.P_Temp_Dir(folder);
            o.E_StartEdit();
            o.E_Pitch(12, 5);
            for (int page = 1; page <= 3; ++page) {
                if (page > 1)
                    o.E_ChangePage();
                o.E_String(1, 1, "page " + std::to_string(page));
            }
            o.E_ChangePage(2);
            o.P_TopMargin(3);
            o.P_LeftMargin(4);
            o.P_Bairitu(1.5f);
            o.P_PRT_Copy(2);
            o.W_Device("Office Laser");

            Variant value;
            if (late) {
                InvokeResult r = o.Invoke(row.dispid, row.kind, row.args);
                outcome.status = r.status;
                value = r.value;
            } else {
                value = row.direct(o);
            }
            std::string shown = value.is_empty() ? "-" : value_to_text(value).value();
            if (shown == folder)
                shown = "the folder";
            seen << "value " << shown << "\n";
            seen << "pages " << o.P_Min_Page() << ".." << o.P_Max_Page() << " at " << o.P_CurrPage() << " end "
                 << o.P_CheckEnd() << " data " << o.P_CheckData() << "\n";
            seen << "margins " << o.P_TopMargin() << " " << o.P_LeftMargin() << " zoom " << o.P_Bairitu()
                 << " copies " << o.P_PRT_Copy() << " pitch " << o.P_RowPitch() << " " << o.P_ColPitch()
                 << " paper " << o.P_PaperSize() << " " << o.P_Orientation() << " dir " << (o.P_Temp_Dir() == folder)
                 << " printing " << (o.P_PRINT() != nullptr) << " windows " << toolkit.created << "\n";
            for (const auto& m : sink.messages)
                seen << "message " << m.title << ": " << m.text << "\n";
            if (printers.opened) {
                for (const auto& line : printers.opened->log)
                    seen << "printer " << line << "\n";
            }
            (void)files().close_all();
            for (int page = 1; page <= 4; ++page)
                seen << "page " << page << " " << page_bytes(folder, page) << "\n";
        }
        outcome.observed = seen.str();
        std::filesystem::remove_all(folder);
    }).join();
    return outcome;
}

class EveryMemberLateBound : public ::testing::TestWithParam<MemberCall> {};

TEST_P(EveryMemberLateBound, DoesWhatTheDirectCallDoes)
{
    const MemberCall& row = GetParam();
    const CallOutcome late = run_member_call(row, true);
    const CallOutcome direct = run_member_call(row, false);
    if (!row.late_bound) {
        EXPECT_EQ(late.status, InvokeStatus::NotSupported);
        return;
    }
    EXPECT_EQ(late.status, InvokeStatus::Ok);
    EXPECT_EQ(late.observed, direct.observed);
    // The name leads to the same member as the identifier.
    const MemberInfo* by_name = find_member(row.name, row.kind);
    ASSERT_NE(by_name, nullptr);
    EXPECT_EQ(by_name->dispid, row.dispid);
}

using K = MemberKind;
const MemberCall kEveryMember[] = {
    {"P_PRINT", 0x40030000, K::PropertyGet, {}, [](KT482_Print&) { return Variant(); }, false},
    {"P_PRINT", 0x40030000, K::PropertySet, {0}, [](KT482_Print&) { return Variant(); }, false},
    {"P_PREVIEW", 0x40030001, K::PropertyGet, {}, [](KT482_Print&) { return Variant(); }, false},
    {"P_PREVIEW", 0x40030001, K::PropertySet, {0}, [](KT482_Print&) { return Variant(); }, false},
    {"W_PrtDialog", 0x60030016, K::Method, {0}, [](KT482_Print&) { return Variant(); }, false},
    {"E_StartEdit", 0x60030011, K::Method, {2, 1, 5},
     [](KT482_Print& o) { o.E_StartEdit(2, 1, 5); return Variant(); }},
    {"E_ChangePage", 0x60030012, K::Method, {3}, [](KT482_Print& o) { o.E_ChangePage(3); return Variant(); }},
    {"E_EndEdit", 0x60030013, K::Method, {}, [](KT482_Print& o) { o.E_EndEdit(); return Variant(); }},
    {"V_Size_Set", 0x60030014, K::Method, {256, 2, 11, 8},
     [](KT482_Print& o) { o.V_Size_Set(256, 2, 11, 8); return Variant(); }},
    {"V_Preview", 0x60030015, K::Method, {1, 2}, [](KT482_Print& o) { o.V_Preview(1, 2); return Variant(); }},
    {"W_Device", 0x60030017, K::Method, {"KT482 PDF"},
     [](KT482_Print& o) { o.W_Device("KT482 PDF"); return Variant(); }},
    {"W_StartDoc", 0x60030018, K::Method, {8, 2}, [](KT482_Print& o) { o.W_StartDoc(8, 2); return Variant(); }},
    {"W_Print", 0x60030019, K::Method, {2, 3}, [](KT482_Print& o) { o.W_Print(2, 3); return Variant(); }},
    {"W_EndDoc", 0x6003001a, K::Method, {}, [](KT482_Print& o) { o.W_EndDoc(); return Variant(); }},
    {"P_Temp_Dir", 0x6803000d, K::PropertyLet, {"/nonexistent/x"},
     [](KT482_Print& o) { o.P_Temp_Dir("/nonexistent/x"); return Variant(); }},
    {"P_Temp_Dir", 0x6803000d, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_Temp_Dir()); }},
    {"P_Bairitu", 0x6803000c, K::PropertyLet, {2.5}, [](KT482_Print& o) { o.P_Bairitu(2.5f); return Variant(); }},
    {"P_Bairitu", 0x6803000c, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_Bairitu()); }},
    {"P_CurrPage", 0x6803000b, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_CurrPage()); }},
    {"P_Min_Page", 0x6803000a, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_Min_Page()); }},
    {"P_Max_Page", 0x68030009, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_Max_Page()); }},
    {"P_PRT_Copy", 0x68030008, K::PropertyLet, {7}, [](KT482_Print& o) { o.P_PRT_Copy(7); return Variant(); }},
    {"P_PRT_Copy", 0x68030008, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_PRT_Copy()); }},
    {"P_CheckEnd", 0x68030007, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_CheckEnd()); }},
    {"P_CheckData", 0x68030006, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_CheckData()); }},
    {"P_PaperSize", 0x68030005, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_PaperSize()); }},
    {"P_Orientation", 0x68030004, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_Orientation()); }},
    {"P_TopMargin", 0x68030003, K::PropertyLet, {11}, [](KT482_Print& o) { o.P_TopMargin(11); return Variant(); }},
    {"P_TopMargin", 0x68030003, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_TopMargin()); }},
    {"P_LeftMargin", 0x68030002, K::PropertyLet, {13}, [](KT482_Print& o) { o.P_LeftMargin(13); return Variant(); }},
    {"P_LeftMargin", 0x68030002, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_LeftMargin()); }},
    {"P_RowPitch", 0x68030001, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_RowPitch()); }},
    {"P_ColPitch", 0x68030000, K::PropertyGet, {}, [](KT482_Print& o) { return Variant(o.P_ColPitch()); }},
    {"E_Pitch", 0x6003001b, K::Method, {16, 7}, [](KT482_Print& o) { o.E_Pitch(16, 7); return Variant(); }},
    {"E_Font", 0x6003001c, K::Method, {"A", 9, true, 2},
     [](KT482_Print& o) { o.E_Font("A", 9, true, 2); return Variant(); }},
    {"E_DrawStyle", 0x6003001d, K::Method, {2, 3}, [](KT482_Print& o) { o.E_DrawStyle(2, 3); return Variant(); }},
    {"E_Line", 0x6003001e, K::Method, {1, 2, 3, 4}, [](KT482_Print& o) { o.E_Line(1, 2, 3, 4); return Variant(); }},
    {"E_Line_Hor", 0x6003001f, K::Method, {1, 2, "0;1", "1-4"},
     [](KT482_Print& o) { o.E_Line_Hor(1, 2, "0;1", "1-4"); return Variant(); }},
    {"E_Line_Vrt", 0x60030020, K::Method, {1, 2, "0;1", "1-4"},
     [](KT482_Print& o) { o.E_Line_Vrt(1, 2, "0;1", "1-4"); return Variant(); }},
    {"E_Keisen", 0x60030021, K::Method, {1, 2, 3, 4},
     [](KT482_Print& o) { o.E_Keisen(1, 2, 3, 4); return Variant(); }},
    {"E_String", 0x60030022, K::Method, {1, 2, "s"}, [](KT482_Print& o) { o.E_String(1, 2, "s"); return Variant(); }},
    {"E_String_Kin", 0x60030023, K::Method, {1, 2, "s", 5},
     [](KT482_Print& o) { o.E_String_Kin(1, 2, "s", 5); return Variant(); }},
    {"E_String_Center", 0x60030024, K::Method, {1, 2, "s", 5},
     [](KT482_Print& o) { o.E_String_Center(1, 2, "s", 5); return Variant(); }},
    {"E_String_Right", 0x60030025, K::Method, {1, 2, "s"},
     [](KT482_Print& o) { o.E_String_Right(1, 2, "s"); return Variant(); }},
    {"E_String_Left", 0x60030026, K::Method, {1, 2, "s", 5},
     [](KT482_Print& o) { o.E_String_Left(1, 2, "s", 5); return Variant(); }},
    {"E_Numeric", 0x60030027, K::Method, {1, 2, 3.5, "#0.0"},
     [](KT482_Print& o) { o.E_Numeric(1, 2, 3.5, "#0.0"); return Variant(); }},
    {"E_Clear", 0x60030028, K::Method, {}, [](KT482_Print& o) { o.E_Clear(); return Variant(); }},
};

INSTANTIATE_TEST_SUITE_P(MemberTable, EveryMemberLateBound, ::testing::ValuesIn(kEveryMember),
                         [](const ::testing::TestParamInfo<MemberCall>& info) {
                             return std::string(info.param.name) + "_" + std::to_string(info.index);
                         });

TEST(MemberTable, EveryMemberHasACallRow)
{
    EXPECT_EQ(std::size(kEveryMember), member_table().size());
}

}  // namespace
}  // namespace kt482::test
