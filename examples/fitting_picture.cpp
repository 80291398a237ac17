// The picture of fitted texts for the documentation: a table whose item
// names are shrunk, condensed and wrapped into their column and whose
// amounts end at their rule, with △ negatives and blank zeros, shown in the
// preview at 100 % beside the same page of its PDF at the same scale.
//
//   kt482_fitting_picture FILE.png
//
// It runs on Qt's offscreen platform; pdftoppm (poppler-utils) draws the
// PDF's page.

#include <QDialog>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "kt482/kt482.h"
#include "platform/qt/qt_preview_window.h"

namespace {

constexpr int kSettleMs = 300;
// The preview's canvas shows 96 pixels an inch at 100 %.
constexpr int kPreviewDpi = 96;
// The part of the page shown: the table at its top left.
constexpr int kWidth = 500;
constexpr int kHeight = 215;
constexpr int kGap = 16;

struct Row {
    const char* name;
    int16_t mode;  // E_String_Fit's, or -1: wrapped into two rows
    double quantity;
    double amount;
};

const Row kRows[] = {
    {"A4コピー用紙 500枚", 0, 10, 4500},
    {"梱包用OPPテープ 48mm×100m 透明 50巻入 (縮小)", 0, 5, 35600},
    {"トナーカートリッジ 黒 大容量 純正品 (長体)", 1, 2, 37800},
    {"返品：ボールペン 黒 0.7mm 10本入 (…で切る)", 2, -3, -2940},
    {"無償交換品", 0, 1, 0},
    {"延長コード 3m 6口 雷ガード付、「ほこり防止シャッター」付き（折り返し）", -1, 4, 7040},
};

void record_table(kt482::KT482_Print& job)
{
    const std::string amounts = "#,##0;△#,##0;\"\"";
    job.E_StartEdit();
    job.E_Pitch(15, 6);
    job.E_DrawStyle(0, 1);
    job.E_Keisen(2, 2, 10, 62);
    job.E_Line_Hor(2, 2, "1;2;3;4;5;6", "0-60");
    job.E_Line_Vrt(2, 2, "0-8", "30;38");
    job.E_Font("ＭＳ ゴシック", 9, true, 0);
    job.E_String_Center(2, 2, "品名", 30);
    job.E_String_Center(2, 32, "数量", 8);
    job.E_String_Center(2, 40, "金額", 22);
    job.E_Font("ＭＳ 明朝", 9, false, 0);
    float row = 3;
    for (const Row& r : kRows) {
        if (r.mode < 0)
            job.E_String_Box(row, 3, row + 2, 31, r.name, 0);
        else
            job.E_String_Fit(row, 3, r.name, 28, r.mode);
        job.E_Numeric_Right(row, 37.5f, r.quantity, amounts);
        job.E_Numeric_Right(row, 61.5f, r.amount, "¥" + amounts);
        row += r.mode < 0 ? 2 : 1;
    }
    job.E_EndEdit();
}

// The top left part of the PDF's first page at the preview's scale.
QImage pdf_page(const std::filesystem::path& pdf, const std::filesystem::path& work)
{
    const std::filesystem::path png = work / "page";
    const std::string command = "pdftoppm -r " + std::to_string(kPreviewDpi) + " -png -singlefile -x 0 -y 0 -W "
                                + std::to_string(kWidth) + " -H " + std::to_string(kHeight) + " '" + pdf.string()
                                + "' '" + png.string() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    return QImage(QString::fromStdString(png.string() + ".png"));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE.png\n", argv[0]);
        return 2;
    }
    const std::filesystem::path work = std::filesystem::temp_directory_path() / "kt482-fitting-picture";
    std::filesystem::create_directories(work / "spool");

    kt482::KT482_Print job;
    job.P_Temp_Dir((work / "spool").string());
    job.P_TopMargin(0);
    job.P_LeftMargin(0);
    record_table(job);

    const std::filesystem::path pdf = work / "fitted.pdf";
    job.SetNextPdfPath(pdf.string());
    job.W_Device("KT482 PDF");
    job.W_StartDoc(9, 1);
    job.W_Print();
    job.W_EndDoc();

    QImage preview;
    kt482::set_preview_driver([&](QDialog& dialog) {
        kt482::QtPreviewWindow* window = kt482::QtPreviewWindow::of(&dialog);
        if (!window) {
            dialog.reject();
            return;
        }
        QTimer::singleShot(kSettleMs, &dialog, [&dialog, window, &preview] {
            preview = window->widget(kt482::PreviewControl::DATA)->grab().toImage();
            dialog.reject();
        });
    });
    job.V_Size_Set(9, 1);
    job.V_Preview();
    kt482::set_preview_driver({});

    const QImage printed = pdf_page(pdf, work);
    if (preview.isNull() || printed.isNull()) {
        std::fprintf(stderr, "no picture of the %s\n", preview.isNull() ? "preview" : "PDF");
        return 1;
    }
    QImage picture(2 * kWidth + kGap, kHeight, QImage::Format_RGB32);
    picture.fill(Qt::darkGray);
    QPainter painter(&picture);
    painter.drawImage(QPoint(0, 0), preview, QRect(0, 0, kWidth, kHeight));
    painter.drawImage(QPoint(kWidth + kGap, 0), printed);
    painter.end();
    job.E_Clear();
    if (!picture.save(QString::fromStdString(argv[1]), "PNG")) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    std::printf("wrote %s\n", argv[1]);
    return 0;
}
