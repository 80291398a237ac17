// A delivery slip (納品書) on A4: the slip number as a Code128 barcode with
// its human-readable line, a JAN code on each item row, and a QR code with
// the slip number, then printed on the default printer (without a print
// server, the built-in PDF printer).
//
//   kt482_delivery_slip [FOLDER]    FOLDER defaults to a new folder under /tmp

#include <stdlib.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kt482/kt482.h"

namespace {

constexpr float kRowPitch = 15;
constexpr float kColPitch = 6;
constexpr float kPageCols = 90;

const std::string kMincho = "ＭＳ 明朝";
const std::string kGothic = "ＭＳ ゴシック";
const std::string kSlipNumber = "DS-2026-000123";

struct Item {
    const char* jan;  // JAN-13 without its check digit, or JAN-8 with it
    const char* type;
    const char* name;
    int quantity;
    int unit_price;
};

constexpr std::array<Item, 5> kItems = {{
    {"490123456789", "JAN13", "緑茶 ペットボトル 500ml×24本", 3, 2380},
    {"456995111213", "JAN13", "ミネラルウォーター 2L×6本", 5, 980},
    {"49012347", "JAN8", "のど飴 袋 100g", 20, 198},
    {"452000000001", "JAN13", "紙コップ 205ml 100個入", 10, 420},
    {"458810150001", "JAN13", "割り箸 個包装 100膳", 8, 560},
}};

// The item table: a header row, then two grid rows an item.
constexpr float kTableRow = 18;
constexpr float kItemRows = 2.4f;
constexpr float kColJan = 2;
constexpr float kColName = 27;
constexpr float kColQty = 61;
constexpr float kColPrice = 69;
constexpr float kColAmount = 79;
constexpr float kColEnd = 88;

void record_slip(kt482::KT482_Print& job)
{
    job.E_StartEdit();
    job.E_Pitch(kRowPitch, kColPitch);

    job.E_Font(kGothic, 20, true, 0);
    job.E_String_Center(1, 0, "納　品　書", kPageCols);

    job.E_Font(kMincho, 14, false, 0);
    job.E_String(5, 2, "株式会社 山田商事　御中");
    job.E_DrawStyle(0, 1);
    job.E_Line(5.9f, 2, 5.9f, 40);
    job.E_Font(kMincho, 9, false, 0);
    job.E_String(7, 2, "下記のとおり納品いたしました。");
    job.E_String(9, 2, "株式会社 サンプル物流　〒100-0005 東京都千代田区丸の内1-2-3");

    // The slip number: its barcode with the number under it, and a QR code.
    job.E_String_Kin(3, 50, "伝票番号", 8);
    job.E_String(3, 60, kSlipNumber);
    job.E_String_Kin(4, 50, "納品日", 8);
    job.E_String(4, 60, "2026年12月8日");
    job.E_Barcode(5.5f, 50, 9.5f, 86, "CODE128", kSlipNumber, "text=1");
    job.E_Barcode(10.5f, 74, 16.5f, 88, "QR", kSlipNumber, "ecc=M");

    // The table.
    const float bottom = kTableRow + 1 + kItemRows * static_cast<float>(kItems.size());
    job.E_Keisen(kTableRow, kColJan, bottom, kColEnd);
    job.E_Line(kTableRow + 1, kColJan, kTableRow + 1, kColEnd);
    for (float col : {kColName, kColQty, kColPrice, kColAmount})
        job.E_Line(kTableRow, col, bottom, col);
    job.E_Font(kGothic, 9, true, 0);
    job.E_String_Center(kTableRow + 0.1f, kColJan, "JANコード", kColName - kColJan);
    job.E_String_Center(kTableRow + 0.1f, kColName, "品名", kColQty - kColName);
    job.E_String_Center(kTableRow + 0.1f, kColQty, "数量", kColPrice - kColQty);
    job.E_String_Center(kTableRow + 0.1f, kColPrice, "単価", kColAmount - kColPrice);
    job.E_String_Center(kTableRow + 0.1f, kColAmount, "金額", kColEnd - kColAmount);

    job.E_Font(kMincho, 9, false, 0);
    int64_t total = 0;
    for (std::size_t i = 0; i < kItems.size(); ++i) {
        const Item& item = kItems[i];
        const float top = kTableRow + 1 + kItemRows * static_cast<float>(i);
        if (i > 0)
            job.E_Line(top, kColJan, top, kColEnd);
        job.E_Barcode(top + 0.2f, kColJan + 1, top + kItemRows - 0.2f, kColName - 1, item.type, item.jan, "text=1");
        const float text_row = top + 1;
        job.E_String(text_row, kColName + 1, item.name);
        const int64_t amount = static_cast<int64_t>(item.quantity) * item.unit_price;
        total += amount;
        job.E_Numeric(text_row, kColQty + 1, item.quantity, "#,##0");
        job.E_Numeric(text_row, kColPrice + 1, item.unit_price, "##,##0");
        job.E_Numeric(text_row, kColAmount, static_cast<double>(amount), "#,###,##0");
    }
    job.E_Font(kGothic, 10, true, 0);
    job.E_String_Kin(bottom + 0.5f, kColPrice, "合計", 8);
    job.E_Numeric(bottom + 0.5f, kColAmount, static_cast<double>(total), "#,###,##0");
    job.E_Line(bottom + 1.5f, kColPrice, bottom + 1.5f, kColEnd);
    job.E_EndEdit();
}

std::string spool_folder(const char* given)
{
    if (given) {
        std::filesystem::create_directories(given);
        return given;
    }
    char folder[] = "/tmp/kt482-slip-XXXXXX";
    return mkdtemp(folder) ? folder : "";
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string folder = spool_folder(argc > 1 ? argv[1] : nullptr);
    if (folder.empty()) {
        std::perror("mkdtemp");
        return 1;
    }
    kt482::KT482_Print job;
    job.P_Temp_Dir(folder);
    record_slip(job);
    if (job.LastFailure().number != 0)
        return 1;

    job.W_Device("");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();
    if (job.LastFailure().number != 0)
        return 1;
    const std::string pdf = job.LastPdfPath();
    std::printf("delivery slip: spool %s, %s\n", folder.c_str(), pdf.empty() ? "printed" : pdf.c_str());
    return 0;
}
