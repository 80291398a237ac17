#include "dense_form.h"

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

namespace kt482::bench {
namespace {

const std::string kMincho = "ＭＳ 明朝";
const std::string kGothic = "ＭＳ ゴシック";

constexpr int16_t kSolid = 0;
constexpr int16_t kDotted = 2;
constexpr int16_t kThin = 1;
constexpr int16_t kThick = 2;

// The item table: a header row and kItemRows item rows from kTableRow.
constexpr float kTableRow = 13;
constexpr int kItemRows = 26;
// Column edges, absolute.
constexpr float kLeft = 2;
constexpr float kName = 2;
constexpr float kQty = 38;
constexpr float kUnit = 47;
constexpr float kPrice = 53;
constexpr float kAmount = 66;
constexpr float kRemark = 79;
constexpr float kRight = 90;

// Pictures: quantities, unit prices with sen, and amounts wide enough for
// millions (a picture also sets the field width the number is cut to).
const std::string kQtyPicture = "#,##0";
const std::string kPricePicture = "#,##0.00";
const std::string kAmountPicture = "###,###,##0";

struct Product {
    const char* name;
    const char* unit;
    int64_t price_sen;
};

constexpr Product kProducts[] = {
    {"A4コピー用紙 500枚×5冊", "箱", 248000},
    {"ボールペン 黒 0.7mm 10本入", "箱", 98000},
    {"クリアファイル A4 透明 100枚入", "袋", 115000},
    {"ホッチキス針 No.10-1M 20箱", "箱", 62000},
    {"トナーカートリッジ 黒 大容量", "本", 1890000},
    {"六角ボルト M8×30 ステンレス", "個", 2475},
    {"六角ナット M8 ステンレス", "個", 850},
    {"ケーブルタイ 200mm 100本入", "袋", 45000},
    {"段ボール箱 120サイズ 10枚組", "組", 368000},
    {"梱包用OPPテープ 48mm×100m 透明 50巻入 ケース販売", "箱", 712000},
    {"作業用手袋 Lサイズ 12双", "組", 136000},
    {"LED直管ランプ 40形 昼白色", "本", 298000},
    {"延長コード 3m 6口 雷ガード付", "本", 176000},
    {"ファイルボックス A4 白 5個組", "組", 154000},
};

constexpr const char* kRemarks[] = {"通常", "至急", "後日納品", "返品不可", "分納", "特価"};

struct Item {
    const Product* product;
    int quantity;
    int64_t amount;  // yen, fractions dropped
};

Item item_of(int i)
{
    const Product& p = kProducts[static_cast<std::size_t>(i * 5) % std::size(kProducts)];
    const int quantity = 1 + (i * 7) % 40;
    return {&p, quantity, quantity * p.price_sen / 100};
}

int64_t subtotal_of_items()
{
    int64_t subtotal = 0;
    for (int i = 0; i < kItemRows; ++i)
        subtotal += item_of(i).amount;
    return subtotal;
}

// "first;first+1;...;last".
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

std::string range(float from, float to)
{
    return std::to_string(static_cast<int>(from)) + "-" + std::to_string(static_cast<int>(to));
}

// Records the form's texts through the job, counting them.
class FormRecorder {
public:
    explicit FormRecorder(KT482_Print& job) : job_(job) {}

    void string(float row, float col, const Variant& text)
    {
        job_.E_String(row, col, text);
        ++texts_;
    }
    void spread(float row, float col, const std::string& text, float width)
    {
        job_.E_String_Kin(row, col, text, width);
        ++texts_;
    }
    void centre(float row, float col, const std::string& text, float width)
    {
        job_.E_String_Center(row, col, text, width);
        ++texts_;
    }
    void right(float row, float col, const std::string& text)
    {
        job_.E_String_Right(row, col, text);
        ++texts_;
    }
    void clipped(float row, float col, const std::string& text, float width)
    {
        job_.E_String_Left(row, col, text, width);
        ++texts_;
    }
    void number(float row, float col, const Variant& value, const std::string& picture)
    {
        job_.E_Numeric(row, col, value, picture);
        ++texts_;
    }

    KT482_Print& job() { return job_; }
    int texts() const { return texts_; }

private:
    KT482_Print& job_;
    int texts_ = 0;
};

void record_heading(FormRecorder& r)
{
    KT482_Print& job = r.job();
    job.E_Font(kGothic, 18, true, 0);
    r.centre(1, 0, "納　品　書　兼　請　求　書", kRight);
    job.E_DrawStyle(kSolid, kThin);
    job.E_Line(2.2f, 30, 2.2f, 62);
    job.E_Line(2.4f, 30, 2.4f, 62);

    job.E_Font(kMincho, 9, false, 0);
    r.right(1, kRight, "No. 2024-0412-0001");
    r.right(2, kRight, "発行日 2024年4月30日");

    // The customer and the issuer, each boxed, and three stamp boxes.
    job.E_Keisen(3, kLeft, 8, 45);
    job.E_Keisen(3, 50, 8, kRight);
    job.E_Font(kMincho, 12, false, 0);
    r.string(4, 3, "株式会社 山田商事　御中");
    job.E_Line(5, 3, 5, 44);
    job.E_Font(kMincho, 9, false, 0);
    r.string(5.5f, 3, "〒530-0001 大阪府大阪市北区梅田1-2-3 梅田ビル8F");
    r.string(6.5f, 3, "経理部 御担当者様");
    r.string(7.2f, 3, "TEL 06-1234-5678");
    job.E_Font(kGothic, 11, true, 0);
    r.string(4, 52, "株式会社 サンプル工業");
    job.E_Font(kMincho, 9, false, 0);
    r.string(5.5f, 52, "〒100-0005 東京都千代田区丸の内1-2-3");
    r.string(6.5f, 52, "TEL 03-1234-5678  FAX 03-1234-5679");
    r.string(7.2f, 52, "登録番号 T1234567890123");

    job.E_Keisen(9, 66, 12, 74);
    job.E_Keisen(9, 74, 12, 82);
    job.E_Keisen(9, 82, 12, kRight);
    job.E_Line(10, 66, 10, kRight);
    r.spread(9, 67, "承認", 6);
    r.spread(9, 75, "確認", 6);
    r.spread(9, 83, "担当", 6);
}

void record_terms(FormRecorder& r, int64_t total)
{
    KT482_Print& job = r.job();
    job.E_Font(kMincho, 10.5f, false, 0);
    r.spread(9, kLeft, "納品日", 10);
    r.string(9, 13, "2024年4月30日");
    r.spread(10, kLeft, "お支払期限", 10);
    r.string(10, 13, "2024年5月31日（金）");
    job.E_Line_Vrt(9, 0, "0-3", "12");
    job.E_Line(10, kLeft, 10, 45);
    job.E_Line(11, kLeft, 11, 45);
    job.E_Font(kGothic, 11, true, 0);
    r.spread(11, kLeft, "ご請求金額", 10);
    r.number(11, 17, total, kAmountPicture);
    r.string(11, 27, "円（税込）");
    job.E_DrawStyle(kSolid, kThick);
    job.E_Line(12, kLeft, 12, 45);
}

void record_table(FormRecorder& r)
{
    KT482_Print& job = r.job();
    const float bottom = kItemRows + 1;
    const std::string across = range(0, kRight - kLeft);

    job.E_DrawStyle(kDotted, kThin);
    job.E_Line_Hor(kTableRow, kLeft, offsets(2, kItemRows), across);
    job.E_DrawStyle(kSolid, kThin);
    job.E_Line_Vrt(kTableRow, 0, range(0, bottom), "38;47;53;66;79");
    job.E_DrawStyle(kSolid, kThick);
    job.E_Line_Hor(kTableRow, kLeft, "0;1;" + std::to_string(static_cast<int>(bottom)), across);
    job.E_Line_Vrt(kTableRow, 0, range(0, bottom), "2;90");

    job.E_Font(kGothic, 10, true, 0);
    r.centre(kTableRow, kName, "品　　名", kQty - kName);
    r.centre(kTableRow, kQty, "数　量", kUnit - kQty);
    r.centre(kTableRow, kUnit, "単位", kPrice - kUnit);
    r.centre(kTableRow, kPrice, "単　価", kAmount - kPrice);
    r.centre(kTableRow, kAmount, "金　額", kRemark - kAmount);
    r.centre(kTableRow, kRemark, "備　考", kRight - kRemark);

    // Lifted off the rule below by a row margin.
    job.E_Font(kMincho, 9, false, 3);
    for (int i = 0; i < kItemRows; ++i) {
        const Item item = item_of(i);
        const float row = kTableRow + 1 + static_cast<float>(i);
        r.clipped(row, kName + 1, item.product->name, kQty - kName - 2);
        r.number(row, kUnit - 4.5f, item.quantity, kQtyPicture);
        r.spread(row, kUnit + 1, item.product->unit, kPrice - kUnit - 2);
        r.number(row, kAmount - 7, static_cast<double>(item.product->price_sen) / 100.0, kPricePicture);
        r.number(row, kRemark - 9, item.amount, kAmountPicture);
        r.string(row, kRemark + 1, kRemarks[static_cast<std::size_t>(i) % std::size(kRemarks)]);
    }
}

void record_totals(FormRecorder& r, int64_t subtotal)
{
    KT482_Print& job = r.job();
    const float top = kTableRow + kItemRows + 2;
    const int64_t tax = subtotal / 10;

    // Remarks on the left, dotted writing lines.
    job.E_DrawStyle(kSolid, kThin);
    job.E_Keisen(top, kLeft, top + 6, 50);
    job.E_Font(kMincho, 9, false, 0);
    r.string(top, 3, "備考");
    r.clipped(top + 1, 4, "恐れ入りますが、振込手数料は貴社にてご負担くださいますようお願い申し上げます。", 44);
    r.clipped(top + 2, 4, "納品物に不具合がございましたら、納品後7日以内にご連絡ください。", 44);
    job.E_DrawStyle(kDotted, kThin);
    job.E_Line_Hor(top, 3, "1;2;3;4;5", "0-46");

    // The totals on the right, the total under a double rule.
    job.E_DrawStyle(kSolid, kThin);
    job.E_Keisen(top, kPrice, top + 3, kRight);
    job.E_Line_Hor(top, kPrice, "1;2", range(0, kRight - kPrice));
    job.E_Line_Vrt(top, kPrice, "0-3", "13");
    job.E_Line(top + 2.85f, kPrice, top + 2.85f, kRight);
    job.E_Font(kMincho, 10, false, 0);
    r.spread(top, kPrice + 1, "小計", 11);
    r.number(top, kRight - 12, subtotal, kAmountPicture);
    r.spread(top + 1, kPrice + 1, "消費税(10%)", 11);
    r.number(top + 1, kRight - 12, tax, kAmountPicture);
    job.E_Font(kGothic, 10, true, 0);
    r.spread(top + 2, kPrice + 1, "合計", 11);
    r.number(top + 2, kRight - 12, subtotal + tax, kAmountPicture);
}

void record_footer(FormRecorder& r)
{
    KT482_Print& job = r.job();
    constexpr float kTop = 48;
    job.E_DrawStyle(kSolid, kThin);
    job.E_Keisen(kTop, kLeft, kTop + 3, 50);
    job.E_Font(kMincho, 9, false, 0);
    r.string(kTop, 3, "お振込先：サンプル銀行 本店営業部 普通 1234567");
    r.string(kTop + 1, 3, "口座名義：カ）サンプルコウギョウ");
    r.string(kTop + 2, 3, "※お振込の際はご請求番号をご記入ください。");

    job.E_Keisen(kTop, 66, kTop + 3, 74);
    job.E_Keisen(kTop, 74, kTop + 3, 82);
    job.E_Keisen(kTop, 82, kTop + 3, kRight);
    r.spread(kTop, 67, "受領印", 6);
    r.spread(kTop, 75, "検収印", 6);
    r.spread(kTop, 83, "日付", 6);
    job.E_Line(kTop + 1, 66, kTop + 1, kRight);
    // Where the receiver signs.
    job.E_Line(kTop + 1.5f, 53, kTop + 1.5f, 64);
    job.E_Line(kTop + 2.5f, 53, kTop + 2.5f, 64);

    job.E_Line(kTop + 4, kLeft, kTop + 4, kRight);
    r.centre(kTop + 4, 0, "上記のとおり納品いたしました。", kRight);
    r.right(kTop + 4, kRight, "1 / 1");
}

}  // namespace

int record_dense_form_page(KT482_Print& job)
{
    job.E_Pitch(15, 6);
    FormRecorder r(job);
    const int64_t subtotal = subtotal_of_items();
    record_heading(r);
    record_terms(r, subtotal + subtotal / 10);
    record_table(r);
    record_totals(r, subtotal);
    record_footer(r);
    return r.texts();
}

}  // namespace kt482::bench
