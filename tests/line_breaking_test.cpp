// Lines broken by the Japanese rules, every character one unit wide.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "job/number_text.h"
#include "text/line_breaking.h"

namespace kt482::text {
namespace {

struct BreakCase {
    const char* name;
    const char* text;
    double limit;
    std::vector<std::string> lines;
};

class LineBreaking : public testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaking, Lines)
{
    const auto characters = [](std::string_view s) { return static_cast<double>(count_code_points(s)); };
    EXPECT_EQ(break_lines(GetParam().text, GetParam().limit, characters), GetParam().lines);
}

// Each thread breaks with an iterator of its own, kept from one paragraph
// to the next: threads breaking side by side, one paragraph after another of
// other lengths, find the lines one thread finds.
TEST_P(LineBreaking, SameLinesOnThreadsSideBySide)
{
    const auto characters = [](std::string_view s) { return static_cast<double>(count_code_points(s)); };
    const std::string other = "長い段落は、ここで改行されるかもしれません。ABC defg\nそして次へ";
    std::vector<std::vector<std::string>> found(2);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < found.size(); ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                (void)break_lines(other.substr(0, static_cast<std::size_t>(i) * 3 % other.size()), 7, characters);
                found[t] = break_lines(GetParam().text, GetParam().limit, characters);
                if (found[t] != GetParam().lines)
                    return;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    for (const auto& lines : found)
        EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Kinsoku, LineBreaking,
    testing::Values(
        BreakCase{"FitsOnOneLine", "請求書", 5, {"請求書"}},
        BreakCase{"NoLineStartsWithAComma", "あいうえ、かきく", 4, {"あいう", "え、かき", "く"}},
        BreakCase{"NoLineStartsWithAFullStop", "あいうえ。かき", 4, {"あいう", "え。かき"}},
        BreakCase{"NoLineStartsWithAClosingBracket", "あいう」えお", 3, {"あい", "う」え", "お"}},
        BreakCase{"NoLineStartsWithAClosingParenthesis", "（株）サンプル", 3, {"（株）", "サンプ", "ル"}},
        BreakCase{"NoLineStartsWithSmallKana", "あいうゃえお", 3, {"あい", "うゃえ", "お"}},
        BreakCase{"NoLineStartsWithAProlongedSoundMark", "データベース", 2, {"デー", "タ", "ベー", "ス"}},
        BreakCase{"NoLineEndsWithAnOpeningBracket", "あいう「えお」", 4, {"あいう", "「えお」"}},
        BreakCase{"LatinWordsStayWhole", "Hello wide world", 7, {"Hello", "wide", "world"}},
        BreakCase{"LatinWordAmidJapanese", "品名Stainless鋼", 10, {"品名", "Stainless鋼"}},
        BreakCase{"AWordLongerThanALineIsCut", "abcdefghij", 4, {"abcd", "efgh", "ij"}},
        BreakCase{"ExplicitLineEndsKept", "一行目\n二行目\r\n\r三", 10, {"一行目", "二行目", "", "三"}},
        BreakCase{"EmptyText", "", 3, {""}}),
    [](const testing::TestParamInfo<BreakCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kt482::text
