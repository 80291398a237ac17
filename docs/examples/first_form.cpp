// A two-page invoice from an empty file: record it, then print it as a PDF.
//   first_form [OUT.pdf]     (invoice.pdf by default)
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kt482/kt482.h"

// Every page starts with its grid and font: 15 pt rows, 6 pt columns.
void start_page(kt482::KT482_Print& job)
{
    job.E_Pitch(15, 6);
    job.E_Font("ＭＳ 明朝", 10, false, 0);
}

struct Item {
    const char* name;
    int quantity;
    int unit_price;
};

const Item kItems[] = {
    {"A4コピー用紙 500枚", 10, 450},   {"ボールペン 黒 10本", 5, 980},
    {"クリアファイル 20枚", 8, 320},   {"付箋 75mm角 5冊", 12, 260},
    {"ホチキス針 No.10", 20, 90},      {"ガムテープ 50mm", 6, 380},
    {"封筒 長形3号 100枚", 4, 720},    {"マスキングテープ", 10, 150},
    {"電卓 12桁", 2, 2480},
    {"インクカートリッジ 黒 大容量タイプ 純正品 3個パック（宅配便にてお届け）", 3, 3200},
};
constexpr int kRowsOnPage = 6;
const std::string kMoney = "¥#,##0";

// The ruled table: a heading row and kRowsOnPage item rows from row 8.
void record_table(kt482::KT482_Print& job)
{
    job.E_DrawStyle(0, 4);                        // solid, 4 device pixels
    job.E_Keisen(8, 2, 9 + kRowsOnPage, 80);
    job.E_DrawStyle(0, 1);                        // solid, 1 device pixel
    job.E_Line_Hor(8, 2, "1", "0-78");
    job.E_Line_Vrt(8, 2, "0-" + std::to_string(kRowsOnPage + 1), "40;50;62");
    job.E_String_Kin(8, 4, "品名", 36);
    job.E_String_Kin(8, 44, "数量", 4);
    job.E_String_Kin(8, 53, "単価", 6);
    job.E_String_Kin(8, 66, "金額", 12);
}

int main(int argc, char** argv)
{
    const std::string out = std::filesystem::absolute(argc > 1 ? argv[1] : "invoice.pdf").string();
    std::filesystem::create_directories("invoice-spool");

    kt482::KT482_Print job;
    job.P_Temp_Dir("invoice-spool");
    job.E_StartEdit();                            // page 1
    int64_t total = 0;
    for (int page = 1; page <= 2; ++page) {
        if (page == 2)
            job.E_ChangePage();
        start_page(job);
        job.E_Font("ＭＳ ゴシック", 18, true, 0);
        job.E_String_Center(2, 1, "請　求　書", 80);
        job.E_Font("ＭＳ 明朝", 10, false, 0);
        job.E_String(4, 2, "株式会社サンプル商事 御中");
        job.E_String_Right(4, 81, "No. 2026-0001");
        job.E_String_Right(5, 81, std::to_string(page) + " / 2 ページ");
        record_table(job);
        for (int row = 0; row < kRowsOnPage; ++row) {
            const int index = (page - 1) * kRowsOnPage + row;
            if (index >= static_cast<int>(std::size(kItems)))
                break;
            const Item& item = kItems[index];
            const float r = 9 + static_cast<float>(row);
            const int64_t amount = int64_t{item.quantity} * item.unit_price;
            total += amount;
            job.E_String_Fit(r, 3, item.name, 36, 1);   // condensed to 36 columns if longer
            job.E_Numeric_Right(r, 49.5f, item.quantity, "#,##0");
            job.E_Numeric_Right(r, 61.5f, item.unit_price, "#,##0");
            job.E_Numeric_Right(r, 79.5f, static_cast<double>(amount), kMoney);
        }
    }
    job.E_Font("ＭＳ ゴシック", 12, true, 2);    // row margin 2: 2 pt above the row's bottom
    job.E_String_Kin(17, 50, "合計金額", 12);
    job.E_Numeric_Right(17, 79.5f, static_cast<double>(total), kMoney);
    job.E_DrawStyle(0, 8);
    job.E_Line(18, 50, 18, 80);
    job.E_EndEdit();                              // pages 1 to 2 kept

    job.SetNextPdfPath(out);
    job.W_Device("KT482 PDF");
    job.W_StartDoc(9, 1);                         // A4 portrait
    job.W_Print();
    job.W_EndDoc();
    if (job.LastFailure().number != 0 || job.LastPdfPath() != out) {
        std::fprintf(stderr, "not printed: %s\n", job.LastFailure().description.c_str());
        return 1;
    }
    std::printf("%s\n", out.c_str());
    job.E_Clear();
    return 0;
}
