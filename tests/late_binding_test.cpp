#include <gtest/gtest.h>

#include <set>

#include "kt482/kt482.h"
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

}  // namespace
}  // namespace kt482::test
