#include "sample_invoice.h"

#include <array>
#include <initializer_list>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// The grid: 15 pt rows and 6 pt columns inside the default 10 mm margins
// give about 52 rows of 90 columns on A4.
constexpr float kRowPitch = 15;
constexpr float kColPitch = 6;
// Amounts end at their column whatever their length; a negative amount (a
// returned item) is written with a triangle, a zero left blank.
const std::string kAmountPicture = "#,##0;△#,##0;\"\"";
constexpr float kPageCols = 90;

// The pictures drawn by scripts/draw-invoice-pictures.py.
const std::string kAssets = KT482_EXAMPLE_ASSETS;
const std::string kLogo = kAssets + "/logo.png";
const std::string kSeal = kAssets + "/seal.png";
constexpr int32_t kHeadingShade = 0xD9D9D9;
constexpr int32_t kTitleBlue = 0x1F4E8C;

const std::string kMincho = "ＭＳ 明朝";
const std::string kGothic = "ＭＳ ゴシック";

// The modes of E_String_Fit.
constexpr int16_t kShrink = 0;
constexpr int16_t kCondense = 1;

// Line styles and widths of E_DrawStyle.
constexpr int16_t kSolid = 0;
constexpr int16_t kDotted = 2;
constexpr int16_t kThin = 1;
constexpr int16_t kThick = 2;

// The item table: a header row and kRowsPerPage item rows, ruled from
// kTableRow; its columns as offsets from kTableCol.
constexpr float kTableRow = 15;
constexpr float kTableCol = 2;
constexpr int kRowsPerPage = 25;
constexpr float kColNo = 0;
constexpr float kColName = 5;
constexpr float kColQty = 47;
constexpr float kColPrice = 57;
constexpr float kColAmount = 71;
constexpr float kColEnd = 86;

// The totals box on the last page, below the table.
constexpr float kTotalsRow = kTableRow + kRowsPerPage + 2;
constexpr float kTotalsCol = kTableCol + kColPrice;
constexpr float kTotalsLabelWidth = 14;
constexpr float kTotalsWidth = kColEnd - kColPrice;

struct Product {
    const char* name;
    int64_t unit_price_sen;  // hundredths of a yen
    bool sold_by_hundred;    // small parts: quantities in hundreds
};

// Office supplies and small parts; one name is longer than its column on
// purpose, to show it condensed by E_String_Fit.
constexpr std::array<Product, 16> kProducts = {{
    {"A4コピー用紙 500枚×5冊", 248000, false},
    {"ボールペン 黒 0.7mm 10本入", 98000, false},
    {"クリアファイル A4 透明 100枚入", 115000, false},
    {"ホッチキス針 No.10-1M 20箱", 62000, false},
    {"トナーカートリッジ 黒 大容量", 1890000, false},
    {"六角ボルト M8×30 ステンレス", 2475, true},
    {"六角ナット M8 ステンレス", 850, true},
    {"平座金 M8 ステンレス", 320, true},
    {"ケーブルタイ 200mm 100本入", 45000, false},
    {"段ボール箱 120サイズ 10枚組", 368000, false},
    {"梱包用OPPテープ 48mm×100m 透明 50巻入 ケース販売 (倉庫直送・代引不可)", 712000, false},
    {"作業用手袋 Lサイズ 12双", 136000, false},
    {"LED直管ランプ 40形 昼白色", 298000, false},
    {"延長コード 3m 6口 雷ガード付", 176000, false},
    {"ファイルボックス A4 白 5個組", 154000, false},
    {"結束バンド 耐候性 黒 150mm", 1260, true},
}};

struct Item {
    std::string name;
    int quantity;
    double unit_price;
    int64_t amount;  // yen, fractions dropped
};

// 68 items: two full pages and 18 rows on the last.
std::vector<Item> invoice_items()
{
    constexpr int kItems = 2 * kRowsPerPage + 18;
    std::vector<Item> items;
    items.reserve(kItems);
    for (int i = 0; i < kItems; ++i) {
        const Product& p = kProducts[static_cast<std::size_t>(i * 7 + i / 16) % kProducts.size()];
        const int quantity = p.sold_by_hundred ? 100 * (1 + i % 5) : 1 + (i * 5) % 12;
        items.push_back(Item{p.name, quantity, static_cast<double>(p.unit_price_sen) / 100.0,
                             quantity * p.unit_price_sen / 100});
    }
    return items;
}

std::string page_number(int page)
{
    return std::to_string(page) + " / " + std::to_string(kSampleInvoicePages);
}

// "first;first+1;...;last", the rule offsets of a rule set.
std::string offsets(int first, int last)
{
    std::string list;
    for (int i = first; i <= last; ++i) {
        if (!list.empty())
            list += ';';
        list += std::to_string(i);
    }
    return list;
}

// "a;b;c" from whole offsets.
std::string list(std::initializer_list<float> values)
{
    std::string text;
    for (float v : values) {
        if (!text.empty())
            text += ';';
        text += std::to_string(static_cast<int>(v));
    }
    return text;
}

// "from-to", a span of a rule set.
std::string range(float from, float to)
{
    return std::to_string(static_cast<int>(from)) + "-" + std::to_string(static_cast<int>(to));
}

// What every page carries: the grid, the title, the invoice number and date,
// and the page number at the foot. Each page is replayed on its own, so the
// grid and fonts are set again on each.
void record_page_frame(kt482::KT482_Print& job, int page)
{
    job.E_Pitch(kRowPitch, kColPitch);

    // The company logo at the top left, the title in the company's blue.
    job.E_Image(1, 2, 3.5f, 22, kLogo);
    job.E_Color(kTitleBlue);
    job.E_Font(kGothic, 20, true, 0);
    job.E_String_Center(1, 0, page == 1 ? "請　求　書" : "請　求　書（続き）", kPageCols);
    job.E_DrawStyle(kSolid, kThin);
    job.E_Line(3, 30, 3, 60);
    job.E_Color(0);

    job.E_Font(kMincho, 10, false, 0);
    job.E_String_Kin(4, 62, "請求番号", 8);
    job.E_String(4, 72, "INV-2024-0412");
    job.E_String_Kin(5, 62, "請求日", 8);
    job.E_String(5, 72, "2024年4月30日");

    job.E_Font(kMincho, 9, false, 0);
    job.E_String_Center(49, 0, page_number(page), kPageCols);
}

// Page 1: the customer and the issuer, each in a ruled box, and the amount due.
void record_parties(kt482::KT482_Print& job, int64_t total)
{
    job.E_DrawStyle(kSolid, kThin);
    job.E_Keisen(6, 2, 11, 48);
    job.E_Font(kMincho, 14, false, 0);
    job.E_String(7, 4, "株式会社 山田商事　御中");
    job.E_Font(kMincho, 9, false, 0);
    job.E_String(9, 4, "〒530-0001 大阪府大阪市北区梅田1-2-3 梅田ビル8F");
    job.E_String(10, 4, "経理部 御担当者様");

    job.E_Keisen(7, 55, 13, 88);
    job.E_Font(kGothic, 11, true, 0);
    job.E_String(8, 57, "株式会社 サンプル工業");
    job.E_Font(kMincho, 9, false, 0);
    job.E_String(9.5f, 57, "〒100-0005 東京都千代田区丸の内1-2-3");
    job.E_String(10.5f, 57, "TEL 03-1234-5678  FAX 03-1234-5679");
    job.E_String(11.5f, 57, "登録番号 T1234567890123");
    // The company seal, stamped over the end of the issuer's lines.
    job.E_Image(7.6f, 77, 11.6f, 87, kSeal);

    job.E_Font(kGothic, 12, true, 0);
    job.E_String_Kin(12, 2, "ご請求金額", 14);
    job.E_Numeric_Right(12, 34, total, "￥#,##0");
    job.E_String(12, 34, "-（税込）");
    job.E_DrawStyle(kSolid, kThick);
    job.E_Line(13.2f, 2, 13.2f, 48);

    job.E_Font(kMincho, 9, false, 0);
    job.E_String(14, 2, "下記のとおりご請求申し上げます。");
}

void record_continued_party(kt482::KT482_Print& job)
{
    job.E_Font(kMincho, 11, false, 0);
    job.E_String(7, 2, "株式会社 山田商事　御中");
}

// The ruled table with its header; the item rows are left empty.
void record_table(kt482::KT482_Print& job)
{
    const float bottom = kRowsPerPage + 1;
    const std::string across = range(0, kColEnd);
    const std::string down = range(0, bottom);

    // The header row shaded, under its rules and texts.
    job.E_Fill(kTableRow, kTableCol, kTableRow + 1, kTableCol + kColEnd, kHeadingShade);

    // Dotted rules between the item rows, solid column dividers.
    job.E_DrawStyle(kDotted, kThin);
    job.E_Line_Hor(kTableRow, kTableCol, offsets(2, kRowsPerPage), across);
    job.E_DrawStyle(kSolid, kThin);
    job.E_Line_Vrt(kTableRow, kTableCol, down, list({kColName, kColQty, kColPrice, kColAmount}));
    // A heavy frame and the rule under the header.
    job.E_DrawStyle(kSolid, kThick);
    job.E_Line_Hor(kTableRow, kTableCol, list({0, 1, bottom}), across);
    job.E_Line_Vrt(kTableRow, kTableCol, down, list({kColNo, kColEnd}));

    job.E_Font(kGothic, 10, true, 0);
    job.E_String_Center(kTableRow, kTableCol + kColNo, "No.", kColName - kColNo);
    job.E_String_Center(kTableRow, kTableCol + kColName, "品　　名", kColQty - kColName);
    job.E_String_Center(kTableRow, kTableCol + kColQty, "数　量", kColPrice - kColQty);
    job.E_String_Center(kTableRow, kTableCol + kColPrice, "単　価", kColAmount - kColPrice);
    job.E_String_Center(kTableRow, kTableCol + kColAmount, "金　額", kColEnd - kColAmount);
}

void record_item(kt482::KT482_Print& job, float row, int number, const Item& item)
{
    job.E_String_Right(row, kTableCol + kColName - 0.5f, std::to_string(number));
    job.E_String_Fit(row, kTableCol + kColName + 1, item.name, kColQty - kColName - 2, kCondense);
    job.E_Numeric_Right(row, kTableCol + kColPrice - 1, item.quantity, "#,##0");
    job.E_Numeric_Right(row, kTableCol + kColAmount - 1, item.unit_price, "#,##0.00");
    job.E_Numeric_Right(row, kTableCol + kColEnd - 1, item.amount, kAmountPicture);
}

// Last page: remarks, and the totals closed by a double rule.
void record_totals(kt482::KT482_Print& job, int64_t subtotal, int64_t tax, int64_t total)
{
    job.E_DrawStyle(kSolid, kThin);
    job.E_Keisen(kTotalsRow, 2, kTotalsRow + 5, 52);
    job.E_Font(kMincho, 9, false, 0);
    job.E_String(kTotalsRow, 3, "備考");
    job.E_String(kTotalsRow + 1, 4, "お振込先：サンプル銀行 本店営業部 普通 1234567");
    job.E_String(kTotalsRow + 2, 4, "口座名義：カ）サンプルコウギョウ");
    job.E_String(kTotalsRow + 3, 4, "お支払期限：2024年5月31日");
    job.E_String_Fit(kTotalsRow + 4, 4, "恐れ入りますが、振込手数料は貴社にてご負担くださいますようお願い申し上げます。", 47,
                     kShrink);

    job.E_Line_Hor(kTotalsRow, kTotalsCol, "0;1;2;3", range(0, kTotalsWidth));
    job.E_Line_Vrt(kTotalsRow, kTotalsCol, "0-3", list({0, kTotalsLabelWidth, kTotalsWidth}));
    // The double rule under the total.
    job.E_Line(kTotalsRow + 3.2f, kTotalsCol, kTotalsRow + 3.2f, kTotalsCol + kTotalsWidth);

    const float label = kTotalsCol + 1;
    const float label_width = kTotalsLabelWidth - 2;
    const float value = kTotalsCol + kTotalsWidth - 1;
    job.E_Font(kMincho, 10, false, 0);
    job.E_String_Kin(kTotalsRow, label, "小計", label_width);
    job.E_Numeric_Right(kTotalsRow, value, subtotal, kAmountPicture);
    job.E_String_Kin(kTotalsRow + 1, label, "消費税10%", label_width);
    job.E_Numeric_Right(kTotalsRow + 1, value, tax, kAmountPicture);
    job.E_Font(kGothic, 10, true, 0);
    job.E_String_Kin(kTotalsRow + 2, label, "合計", label_width);
    job.E_Numeric_Right(kTotalsRow + 2, value, total, kAmountPicture);
}

}  // namespace

void record_sample_invoice(kt482::KT482_Print& job)
{
    const std::vector<Item> items = invoice_items();
    int64_t subtotal = 0;
    for (const Item& item : items)
        subtotal += item.amount;
    const int64_t tax = subtotal / 10;
    const int64_t total = subtotal + tax;

    job.E_StartEdit();
    std::size_t next = 0;
    for (int page = 1; page <= kSampleInvoicePages; ++page) {
        if (page > 1)
            job.E_ChangePage();
        record_page_frame(job, page);
        if (page == 1)
            record_parties(job, total);
        else
            record_continued_party(job);
        record_table(job);
        job.E_Font(kMincho, 9, false, 0);
        for (int row = 0; row < kRowsPerPage && next < items.size(); ++row, ++next)
            record_item(job, kTableRow + 1 + static_cast<float>(row), static_cast<int>(next) + 1, items[next]);
        if (page == kSampleInvoicePages)
            record_totals(job, subtotal, tax, total);
    }
    job.E_EndEdit();
}
