// The picture of pre-printed stationery for the documentation: a delivery
// slip's data drawn onto a scanned-looking pre-printed form in the preview.
//
// The form is drawn here, in red drop-out ink on the grid the data uses
// (15 x 6 pt, 10 mm margins), then made to look scanned: the paper's tone,
// a small turn and shift of the sheet on the scanner's glass, soft edges and
// grain. It is written as a PNG and given to V_Background; the slip's data
// alone is recorded, and the preview, opened on A4 portrait, is saved as it
// shows the whole sheet.
//
//   kt482_stationery_picture FOLDER    writes stationery-preview.png into
//                                      FOLDER (the form goes to a folder
//                                      under /tmp)
//
// It runs on Qt's offscreen platform as well as on a display.

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QTransform>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "kt482/kt482.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_preview_window.h"

namespace {

using kt482::PreviewControl;
using kt482::QtPreviewWindow;

// The grid, as the data is recorded on it: points from the sheet's corner.
constexpr double kMargin = 28;
constexpr double kRowPitch = 15;
constexpr double kColPitch = 6;
constexpr double kSheetWidth = 595.3;
constexpr double kSheetHeight = 841.9;
// The form's resolution: a scan at 150 dpi.
constexpr double kDpi = 150;
constexpr double kPixelsPerPoint = kDpi / 72.0;

constexpr int kSettleMs = 300;

double x_of(double col)
{
    return kMargin + (col - 1) * kColPitch;
}

double y_of(double row)
{
    return kMargin + (row - 1) * kRowPitch;
}

QRectF cells(double row1, double col1, double row2, double col2)
{
    return QRectF(QPointF(x_of(col1), y_of(row1)), QPointF(x_of(col2), y_of(row2)));
}

// The item table's columns and rows, shared by the form and the data.
constexpr double kColName = 1;
constexpr double kColQty = 51;
constexpr double kColPrice = 61;
constexpr double kColAmount = 74;
constexpr double kColEnd = 91;
constexpr double kTableHead = 14;
constexpr int kItemRowCount = 8;
constexpr double kItemPitch = 2;  // grid rows per item
constexpr double kTotals = kTableHead + 1.5 + kItemRowCount * kItemPitch;

// A label of the form in its box's top left corner.
void label(QPainter& p, const QRectF& box, const QString& text, double size = 7)
{
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSizeF(size);
    p.setFont(font);
    p.drawText(box.adjusted(2.5, 1.5, -2, -1), Qt::AlignLeft | Qt::AlignTop, text);
}

void centred(QPainter& p, const QRectF& box, const QString& text, double size, bool bold = false)
{
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPointSizeF(size);
    font.setBold(bold);
    p.setFont(font);
    p.drawText(box, Qt::AlignCenter, text);
}

// The pre-printed form as the printer of stationery made it, in points.
void draw_form(QPainter& p)
{
    const QColor ink(0xC8, 0x3C, 0x32);
    p.setPen(QPen(ink, 0.6));
    p.setBrush(Qt::NoBrush);

    centred(p, cells(1, 30, 3, 62), QStringLiteral("納　品　書"), 18, true);
    p.drawLine(QPointF(x_of(33), y_of(3) - 1), QPointF(x_of(59), y_of(3) - 1));
    p.drawLine(QPointF(x_of(33), y_of(3) + 1), QPointF(x_of(59), y_of(3) + 1));

    // The customer's box, with its honorific.
    const QRectF customer = cells(4, 1, 9, 47);
    p.drawRect(customer);
    label(p, customer, QStringLiteral("お届け先"));
    p.drawLine(QPointF(x_of(3), y_of(8.3)), QPointF(x_of(44), y_of(8.3)));
    centred(p, cells(7, 43, 8.3, 47), QStringLiteral("様"), 11);

    // Slip number, date and order number, one box a row.
    const std::array<const char*, 3> heads{"伝票番号", "納品日", "ご注文番号"};
    for (int i = 0; i < 3; ++i) {
        const QRectF head = cells(4 + i * 1.6, 55, 5.6 + i * 1.6, 66);
        p.drawRect(head);
        p.drawRect(cells(4 + i * 1.6, 66, 5.6 + i * 1.6, kColEnd));
        centred(p, head, QString::fromUtf8(heads[i]), 7.5);
    }

    // The sender, printed with the form.
    centred(p, cells(9.3, 55, 10.5, kColEnd), QStringLiteral("株式会社 緑川商事"), 10, true);
    centred(p, cells(10.5, 55, 11.5, kColEnd), QStringLiteral("〒100-0005 東京都千代田区丸の内1-2-3"), 6.5);
    centred(p, cells(11.5, 55, 12.5, kColEnd), QStringLiteral("TEL 03-1234-5678　FAX 03-1234-5679"), 6.5);
    p.drawEllipse(cells(9.2, 85.5, 12.6, kColEnd - 0.5));
    centred(p, cells(9.2, 85.5, 12.6, kColEnd - 0.5), QStringLiteral("印"), 7);

    centred(p, cells(12, 1, 13.5, 47), QStringLiteral("下記のとおり納品いたしました。"), 8);

    // The item table: a shaded header, then a row per item.
    const QRectF head = cells(kTableHead, kColName, kTableHead + 1.5, kColEnd);
    p.fillRect(head, QColor(0xF6, 0xD9, 0xD2));
    p.setPen(QPen(ink, 0.9));
    p.drawRect(cells(kTableHead, kColName, kTotals, kColEnd));
    p.setPen(QPen(ink, 0.6));
    const std::array<std::pair<double, const char*>, 4> columns{
        {{kColName, "品　名"}, {kColQty, "数　量"}, {kColPrice, "単　価"}, {kColAmount, "金　額"}}};
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const double right = i + 1 < columns.size() ? columns[i + 1].first : kColEnd;
        centred(p, cells(kTableHead, columns[i].first, kTableHead + 1.5, right),
                QString::fromUtf8(columns[i].second), 8);
        if (i > 0)
            p.drawLine(QPointF(x_of(columns[i].first), y_of(kTableHead)), QPointF(x_of(columns[i].first), y_of(kTotals)));
    }
    for (int i = 0; i <= kItemRowCount; ++i) {
        const double y = y_of(kTableHead + 1.5 + i * kItemPitch);
        p.drawLine(QPointF(x_of(kColName), y), QPointF(x_of(kColEnd), y));
    }

    // Subtotal, tax and total under the amounts.
    const std::array<const char*, 3> sums{"小　計", "消費税（10%）", "合　計"};
    for (int i = 0; i < 3; ++i) {
        const double top = kTotals + i * 1.8;
        p.drawRect(cells(top, kColPrice, top + 1.8, kColAmount));
        p.drawRect(cells(top, kColAmount, top + 1.8, kColEnd));
        centred(p, cells(top, kColPrice, top + 1.8, kColAmount), QString::fromUtf8(sums[i]), 7.5);
    }
    p.setPen(QPen(ink, 1.2));
    p.drawRect(cells(kTotals + 3.6, kColPrice, kTotals + 5.4, kColEnd));
    p.setPen(QPen(ink, 0.6));

    const QRectF remarks = cells(kTotals + 6.5, kColName, kTotals + 11, 70);
    p.drawRect(remarks);
    label(p, remarks, QStringLiteral("備　考"));
    const QRectF stamp = cells(kTotals + 6.5, 76, kTotals + 11, kColEnd);
    p.drawRect(stamp);
    label(p, stamp, QStringLiteral("受領印"));
    label(p, cells(kTotals + 11.2, kColName, kTotals + 12.5, 60), QStringLiteral("No.K-2026 ミドリカワ伝票（3枚複写）"), 5.5);
}

// A small deterministic noise, so that the picture is the same every run.
struct Grain {
    uint32_t state = 0x12345678;
    int next(int spread)
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 16) % static_cast<uint32_t>(2 * spread + 1)) - spread;
    }
};

// The form as a scanner returns it: the sheet a little turned and shifted
// on the glass, the paper's tone, soft edges and grain.
QImage scanned_form()
{
    const QSize size(static_cast<int>(kSheetWidth * kPixelsPerPoint), static_cast<int>(kSheetHeight * kPixelsPerPoint));
    QImage sheet(size, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    {
        QPainter p(&sheet);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.scale(kPixelsPerPoint, kPixelsPerPoint);
        draw_form(p);
    }
    QImage scan(size, QImage::Format_RGB32);
    scan.fill(QColor(0xF4, 0xF1, 0xE8));
    {
        QPainter p(&scan);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        QTransform turn;
        turn.translate(size.width() / 2.0 + 4, size.height() / 2.0 + 3);
        turn.rotate(0.35);
        turn.translate(-size.width() / 2.0, -size.height() / 2.0);
        p.setTransform(turn);
        // Down and up again: the scanner's optics soften every edge.
        p.drawImage(QPointF(0, 0), sheet.scaled(size * 0.7, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                       .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }
    Grain grain;
    for (int y = 0; y < scan.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(scan.scanLine(y));
        for (int x = 0; x < scan.width(); ++x) {
            const int d = grain.next(2);
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                           std::clamp(qBlue(c) + d, 0, 255));
        }
    }
    return scan;
}

struct Item {
    const char* name;
    int quantity;
    int unit_price;
};

constexpr std::array<Item, 5> kItems = {{
    {"緑茶 ペットボトル 500ml×24本", 3, 2380},
    {"ミネラルウォーター 2L×6本", 5, 980},
    {"のど飴 袋 100g", 20, 198},
    {"紙コップ 205ml 100個入", 10, 420},
    {"割り箸 個包装 100膳", 8, 560},
}};

// The slip's data, each text in its box of the form. A text stands at the
// bottom of its grid row, so each goes on the row above a box's lower edge.
void record_data(kt482::KT482_Print& job)
{
    const std::string mincho = "ＭＳ 明朝";
    job.E_StartEdit();
    job.E_Pitch(kRowPitch, kColPitch);

    job.E_Font(mincho, 9, false, 0);
    job.E_String(5.3, 3, "〒530-0001 大阪府大阪市北区梅田3-4-5 梅田センタービル12階");
    job.E_Font(mincho, 14, false, 0);
    job.E_String_Fit(6.8, 3, "株式会社 なにわ食品 総務部", 39, 0);

    job.E_Font(mincho, 9.5, false, 0);
    job.E_String(4.4, 68, "DS-2026-000123");
    job.E_String(6.0, 68, "2026年12月8日");
    job.E_String(7.6, 68, "PO-88412");

    long subtotal = 0;
    for (std::size_t i = 0; i < kItems.size(); ++i) {
        const Item& item = kItems[i];
        const double row = kTableHead + 1.5 + static_cast<double>(i) * kItemPitch + 0.45;
        const long amount = static_cast<long>(item.quantity) * item.unit_price;
        subtotal += amount;
        job.E_String_Fit(row, kColName + 1.5, item.name, kColQty - kColName - 3, 0);
        job.E_Numeric_Right(row, kColPrice - 1, item.quantity, "#,##0");
        job.E_Numeric_Right(row, kColAmount - 1, item.unit_price, "#,##0");
        job.E_Numeric_Right(row, kColEnd - 1, static_cast<double>(amount), "#,##0");
    }
    const long tax = subtotal / 10;
    job.E_Numeric_Right(kTotals + 0.35, kColEnd - 1, static_cast<double>(subtotal), "#,##0");
    job.E_Numeric_Right(kTotals + 2.15, kColEnd - 1, static_cast<double>(tax), "#,##0");
    job.E_Font(mincho, 11, true, 0);
    job.E_Numeric_Right(kTotals + 3.9, kColEnd - 1, static_cast<double>(subtotal + tax), "¥#,##0");

    job.E_Font(mincho, 9, false, 0);
    job.E_String(kTotals + 8, 3, "午前中着指定。検品後、受領印を押してご返送ください。");
    job.E_EndEdit();
}

bool save(const QImage& picture, const std::filesystem::path& file)
{
    const bool saved = picture.save(QString::fromStdString(file.string()), "PNG", 0);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.c_str());
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(out, error);
    const std::filesystem::path spool = std::filesystem::temp_directory_path() / "kt482-stationery-picture";
    std::filesystem::create_directories(spool, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", spool.c_str(), error.message().c_str());
        return 1;
    }

    kt482::KT482_Print job;
    job.P_Temp_Dir(spool.string());
    record_data(job);
    // Qt draws the form's texts only once its application exists.
    kt482::ensure_qt_application();
    const std::filesystem::path form = spool / "stationery-form.png";
    if (!save(scanned_form(), form))
        return 1;
    job.V_Background(form.string());
    if (job.LastFailure().number != 0) {
        std::fprintf(stderr, "V_Background: %s\n", job.LastFailure().description.c_str());
        return 1;
    }

    bool ok = false;
    kt482::set_preview_driver([&](QDialog& dialog) {
        QtPreviewWindow* window = QtPreviewWindow::of(&dialog);
        if (!window) {
            dialog.reject();
            return;
        }
        // The whole sheet in view at 100 %: a window as large as the page.
        dialog.resize(836, 1236);
        QTimer::singleShot(kSettleMs, &dialog, [&dialog, window, &ok, out] {
            // A palette of 256 colours holds the paper, the ink and the
            // window's greys, in a file a third of the size.
            const QImage shown = dialog.grab().toImage().convertToFormat(QImage::Format_Indexed8,
                                                                          Qt::DiffuseDither | Qt::PreferDither);
            ok = save(shown, out / "stationery-preview.png");
            static_cast<QPushButton*>(window->widget(PreviewControl::Close))->click();
        });
    });
    job.V_Size_Set(9, 1);  // A4, portrait
    job.V_Preview();
    kt482::set_preview_driver({});
    job.E_Clear();
    return ok ? 0 : 1;
}
