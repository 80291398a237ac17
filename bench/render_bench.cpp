// Rendering speed: a dense A4 form page replayed from its spool file by the
// renderer, against drawing the very same primitives straight onto the same
// Qt device through the same adapter. The difference is what reading the
// file, dispatching the records and converting grid positions cost.
//
//   kt482_bench_render [--benchmark_min_time=0.5] [other benchmark flags]
//
// Two devices: the preview's QImage (A4 at 96 dpi) and a PDF at 1200 dpi.
// items_per_second is pages per second of the thread's CPU time. Each
// benchmark runs five times, the runs of all four shuffled, and the medians
// are shown, which keeps the comparison steady on a busy machine; the usual
// flags (--benchmark_repetitions=1 ...) override this. A last line per device
// gives the renderer's own cost as a share of drawing directly (kept within
// 25 %).

#include <benchmark/benchmark.h>

#include <QColor>
#include <QImage>
#include <QMarginsF>
#include <QPageSize>
#include <QPdfWriter>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "job/job_state.h"
#include "job/object_fields.h"
#include "kt482/kt482.h"
#include "platform/draw_surface.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_draw_surface.h"
#include "render/page_out.h"

namespace {

using namespace kt482::bench;
using kt482::DrawSurface;
using kt482::LineEnd;
using kt482::QtDrawSurface;
using kt482::Status;

// ---------------------------------------------------------------------------
// The form: an A4 delivery note and invoice on the 15 pt by 6 pt grid, 52
// rows of 90 columns inside the default margins, with 200 texts and 100
// rules.

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
    explicit FormRecorder(kt482::KT482_Print& job) : job_(job) {}

    void string(float row, float col, const kt482::Variant& text)
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
    void number(float row, float col, const kt482::Variant& value, const std::string& picture)
    {
        job_.E_Numeric(row, col, value, picture);
        ++texts_;
    }

    kt482::KT482_Print& job() { return job_; }
    int texts() const { return texts_; }

private:
    kt482::KT482_Print& job_;
    int texts_ = 0;
};

void record_heading(FormRecorder& r)
{
    kt482::KT482_Print& job = r.job();
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
    kt482::KT482_Print& job = r.job();
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
    kt482::KT482_Print& job = r.job();
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
    kt482::KT482_Print& job = r.job();
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
    kt482::KT482_Print& job = r.job();
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

// The page recorded once into the temp folder. The job stays alive: its
// thread's job state holds the folder and the page range the renderer reads.
struct RecordedForm {
    kt482::KT482_Print job;
    int texts = 0;
    // The rules its records draw, the sides of the boxes included.
    static constexpr int rules = 100;

    RecordedForm()
    {
        job.P_Temp_Dir(sub_folder("spool"));
        job.E_StartEdit();
        job.E_Pitch(15, 6);
        FormRecorder r(job);
        const int64_t subtotal = subtotal_of_items();
        record_heading(r);
        record_terms(r, subtotal + subtotal / 10);
        record_table(r);
        record_totals(r, subtotal);
        record_footer(r);
        job.E_EndEdit();
        texts = r.texts();
    }
};

RecordedForm& recorded_form()
{
    static RecordedForm form;
    return form;
}

// ---------------------------------------------------------------------------
// The primitives: every call the renderer makes on its target, the queries
// included, since drawing the form directly needs the same text widths.

enum class Op : uint8_t {
    FontName,
    FontSize,
    FontSizeQuery,
    FontBold,
    FontUnderline,
    CurrentX,
    CurrentXQuery,
    CurrentY,
    Print,
    TextWidth,
    DrawMode,
    DrawWidth,
    DrawStyle,
    Line,
};

struct Call {
    Op op;
    int16_t value = 0;  // bools, line ends, modes, widths and styles
    float x1 = 0;       // sizes and positions
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    std::string text{};
};

// Passes every call on to a real surface and keeps a copy of it.
class CapturingSurface final : public DrawSurface {
public:
    explicit CapturingSurface(DrawSurface& inner) : inner_(inner) {}

    // The queries are const on the interface but are calls all the same.
    mutable std::vector<Call> calls;

    Status FontName(std::string_view face) override
    {
        calls.push_back({.op = Op::FontName, .text = std::string(face)});
        return inner_.FontName(face);
    }
    Status FontSize(float points) override
    {
        calls.push_back({.op = Op::FontSize, .x1 = points});
        return inner_.FontSize(points);
    }
    float FontSize() const override
    {
        calls.push_back({.op = Op::FontSizeQuery});
        return inner_.FontSize();
    }
    Status FontBold(bool bold) override
    {
        calls.push_back({.op = Op::FontBold, .value = bold});
        return inner_.FontBold(bold);
    }
    Status FontUnderline(bool underline) override
    {
        calls.push_back({.op = Op::FontUnderline, .value = underline});
        return inner_.FontUnderline(underline);
    }
    Status CurrentX(float x) override
    {
        calls.push_back({.op = Op::CurrentX, .x1 = x});
        return inner_.CurrentX(x);
    }
    float CurrentX() const override
    {
        calls.push_back({.op = Op::CurrentXQuery});
        return inner_.CurrentX();
    }
    Status CurrentY(float y) override
    {
        calls.push_back({.op = Op::CurrentY, .y1 = y});
        return inner_.CurrentY(y);
    }
    Status Print(std::string_view text, LineEnd end) override
    {
        calls.push_back({.op = Op::Print, .value = end == LineEnd::With, .text = std::string(text)});
        return inner_.Print(text, end);
    }
    float TextWidth(std::string_view text) override
    {
        calls.push_back({.op = Op::TextWidth, .text = std::string(text)});
        return inner_.TextWidth(text);
    }
    Status DrawMode(int16_t mode) override
    {
        calls.push_back({.op = Op::DrawMode, .value = mode});
        return inner_.DrawMode(mode);
    }
    Status DrawWidth(int16_t pixels) override
    {
        calls.push_back({.op = Op::DrawWidth, .value = pixels});
        return inner_.DrawWidth(pixels);
    }
    Status DrawStyle(int16_t style) override
    {
        calls.push_back({.op = Op::DrawStyle, .value = style});
        return inner_.DrawStyle(style);
    }
    Status Line(float x1, float y1, float x2, float y2) override
    {
        calls.push_back({.op = Op::Line, .x1 = x1, .y1 = y1, .x2 = x2, .y2 = y2});
        return inner_.Line(x1, y1, x2, y2);
    }

private:
    DrawSurface& inner_;
};

// Makes the calls again, in order. False when the surface refused one.
bool replay(const std::vector<Call>& calls, DrawSurface& target)
{
    bool ok = true;
    for (const Call& c : calls) {
        Status status;
        switch (c.op) {
        case Op::FontName: status = target.FontName(c.text); break;
        case Op::FontSize: status = target.FontSize(c.x1); break;
        case Op::FontSizeQuery: benchmark::DoNotOptimize(target.FontSize()); break;
        case Op::FontBold: status = target.FontBold(c.value != 0); break;
        case Op::FontUnderline: status = target.FontUnderline(c.value != 0); break;
        case Op::CurrentX: status = target.CurrentX(c.x1); break;
        case Op::CurrentXQuery: benchmark::DoNotOptimize(target.CurrentX()); break;
        case Op::CurrentY: status = target.CurrentY(c.y1); break;
        case Op::Print: status = target.Print(c.text, c.value ? LineEnd::With : LineEnd::Without); break;
        case Op::TextWidth: benchmark::DoNotOptimize(target.TextWidth(c.text)); break;
        case Op::DrawMode: status = target.DrawMode(c.value); break;
        case Op::DrawWidth: status = target.DrawWidth(c.value); break;
        case Op::DrawStyle: status = target.DrawStyle(c.value); break;
        case Op::Line: status = target.Line(c.x1, c.y1, c.x2, c.y2); break;
        }
        ok = ok && status.ok();
    }
    return ok;
}

// ---------------------------------------------------------------------------
// The devices. Both benchmarks of a device go through the same steps around a
// page; only the drawing between them differs.

class Device {
public:
    virtual ~Device() = default;
    // The renderer's target: 1 the printer, 2 the preview.
    virtual int16_t output_target() const = 0;
    virtual bool open(QtDrawSurface& surface) = 0;
    // Readies the surface for the next page. state, when given, is paused
    // for work that belongs to no page.
    virtual bool start_page(QtDrawSurface& surface, benchmark::State* state) = 0;
    virtual void finish_page(QtDrawSurface& surface) = 0;
    virtual void close(QtDrawSurface& surface) = 0;
};

// The preview's page: A4 at 96 dpi, cleared white and painted anew each time.
class ImageDevice final : public Device {
public:
    ImageDevice() : image_(794, 1123, QImage::Format_ARGB32_Premultiplied)
    {
        image_.setDotsPerMeterX(3780);  // 96 dpi
        image_.setDotsPerMeterY(3780);
    }

    int16_t output_target() const override { return 2; }
    bool open(QtDrawSurface&) override { return true; }
    bool start_page(QtDrawSurface& surface, benchmark::State*) override
    {
        image_.fill(Qt::white);
        return surface.begin(&image_);
    }
    void finish_page(QtDrawSurface& surface) override { surface.end(); }
    void close(QtDrawSurface& surface) override { surface.end(); }

private:
    QImage image_;
};

// A PDF at 1200 dpi, one PDF page for each page drawn. A new file every
// kPagesPerFile pages keeps the files small; closing a file writes its fonts,
// which belongs to no page and is left off the clock.
class PdfDevice final : public Device {
public:
    static constexpr int kPagesPerFile = 200;

    explicit PdfDevice(std::string path) : path_(std::move(path)) {}

    int16_t output_target() const override { return 1; }
    bool open(QtDrawSurface& surface) override
    {
        writer_ = std::make_unique<QPdfWriter>(QString::fromStdString(path_));
        writer_->setResolution(1200);
        writer_->setPageSize(QPageSize(QPageSize::A4));
        writer_->setPageMargins(QMarginsF(0, 0, 0, 0));
        pages_ = 0;
        return surface.begin(writer_.get());
    }
    bool start_page(QtDrawSurface& surface, benchmark::State* state) override
    {
        if (pages_ == kPagesPerFile) {
            if (state)
                state->PauseTiming();
            close(surface);
            const bool opened = open(surface);
            if (state)
                state->ResumeTiming();
            if (!opened)
                return false;
        }
        if (pages_++ > 0)
            return surface.newPage();
        return true;
    }
    void finish_page(QtDrawSurface&) override {}
    void close(QtDrawSurface& surface) override
    {
        surface.end();
        writer_.reset();
    }

private:
    std::string path_;
    std::unique_ptr<QPdfWriter> writer_;
    int pages_ = 0;
};

enum class DeviceKind { Image, Pdf };

std::unique_ptr<Device> make_device(DeviceKind kind, const char* file)
{
    if (kind == DeviceKind::Image)
        return std::make_unique<ImageDevice>();
    return std::make_unique<PdfDevice>(sub_folder("pdf") + "/" + file);
}

// Points the renderer at surface, page 1 of the recorded form in range.
void target(const std::shared_ptr<DrawSurface>& surface, int16_t output_target)
{
    kt482::JobState& s = kt482::job();
    s.OutputTarget = output_target;
    s.PrinterObject = output_target == 1 ? surface : nullptr;
    s.PreviewCanvas = output_target == 2 ? surface : nullptr;
    s.OutStartP = 0;
    s.OutEndP = 9999;
    s.ScrollX = 0;
    s.ScrollY = 0;
}

void untarget()
{
    kt482::JobState& s = kt482::job();
    s.PrinterObject.reset();
    s.PreviewCanvas.reset();
}

struct Capture {
    std::vector<Call> calls;
    int prints = 0;
    int rules = 0;
    // The renderer reported no failure and drew every text and rule.
    bool complete = false;
};

// The calls of one rendering of the form on kind's device.
Capture capture(DeviceKind kind)
{
    const RecordedForm& form = recorded_form();
    kt482::ObjectFields fields;
    const auto device = make_device(kind, "capture.pdf");
    QtDrawSurface surface;
    auto capturing = std::make_shared<CapturingSurface>(surface);
    Capture result;
    if (!device->open(surface) || !device->start_page(surface, nullptr))
        return result;
    target(capturing, device->output_target());
    kt482::ZZ100_Page_Out(fields, 1);
    untarget();
    device->finish_page(surface);
    device->close(surface);
    result.calls = std::move(capturing->calls);
    for (const Call& c : result.calls) {
        result.prints += c.op == Op::Print;
        result.rules += c.op == Op::Line;
    }
    result.complete = fields.Answer.is_empty() && result.prints >= form.texts && result.rules == form.rules;
    return result;
}

// Draws a page per iteration on kind's device with draw(surface). A step
// that fails ends the run with an error.
template <class Draw>
void run_pages(benchmark::State& state, DeviceKind kind, const char* file, const Capture& primitives, Draw draw)
{
    if (!primitives.complete) {
        state.SkipWithError("the form did not render completely");
        for (auto _ : state) {
        }
        return;
    }
    const auto device = make_device(kind, file);
    auto surface = std::make_shared<QtDrawSurface>();
    if (!device->open(*surface)) {
        state.SkipWithError("Qt cannot paint on the device");
        for (auto _ : state) {
        }
        return;
    }
    target(surface, device->output_target());
    for (auto _ : state) {
        if (!device->start_page(*surface, &state) || !draw(*surface)) {
            state.SkipWithError("a page failed");
            break;
        }
        device->finish_page(*surface);
    }
    untarget();
    device->close(*surface);

    state.SetItemsProcessed(state.iterations());
    state.counters["texts"] = recorded_form().texts;
    state.counters["rules"] = primitives.rules;
    state.counters["calls"] = static_cast<double>(primitives.calls.size());
    state.counters["peak_rss_kB"] = static_cast<double>(peak_rss_kb());
}

const Capture& primitives(DeviceKind kind)
{
    static const Capture image = capture(DeviceKind::Image);
    static const Capture pdf = capture(DeviceKind::Pdf);
    return kind == DeviceKind::Image ? image : pdf;
}

void BM_RenderFromSpool(benchmark::State& state, DeviceKind kind)
{
    kt482::ensure_qt_application();
    kt482::ObjectFields fields;
    const Capture& calls = primitives(kind);
    run_pages(state, kind, "spool.pdf", calls, [&](QtDrawSurface&) {
        kt482::ZZ100_Page_Out(fields, 1);
        return fields.Answer.is_empty();
    });
}

void BM_DrawDirect(benchmark::State& state, DeviceKind kind)
{
    kt482::ensure_qt_application();
    const Capture& calls = primitives(kind);
    run_pages(state, kind, "direct.pdf", calls, [&](QtDrawSurface& surface) { return replay(calls.calls, surface); });
}

struct DeviceName {
    DeviceKind kind;
    const char* name;
    const char* label;
};

constexpr DeviceName kDevices[] = {
    {DeviceKind::Image, "image_a4_96dpi", "QImage A4 96 dpi"},
    {DeviceKind::Pdf, "pdf_a4_1200dpi", "PDF A4 1200 dpi"},
};

void register_benchmarks()
{
    for (const DeviceName& d : kDevices) {
        benchmark::RegisterBenchmark((std::string("BM_RenderFromSpool/") + d.name).c_str(), BM_RenderFromSpool, d.kind);
        benchmark::RegisterBenchmark((std::string("BM_DrawDirect/") + d.name).c_str(), BM_DrawDirect, d.kind);
    }
}

// Per device, the renderer's own cost as a share of drawing directly.
std::string summary(const Rates& rates)
{
    std::string lines;
    for (const DeviceName& d : kDevices) {
        const double spool = rate_of(rates, std::string("BM_RenderFromSpool/") + d.name);
        const double direct = rate_of(rates, std::string("BM_DrawDirect/") + d.name);
        if (spool <= 0 || direct <= 0)
            continue;
        // (t_spool - t_direct) / t_direct, with t the time of a page.
        const double overhead = (direct / spool - 1) * 100;
        char line[200];
        std::snprintf(line, sizeof line,
                      "%s: from spool %.0f pages/s, direct %.0f pages/s: the renderer adds %.1f %% (target within 25 %%)",
                      d.label, spool, direct, overhead);
        if (!lines.empty())
            lines += '\n';
        lines += line;
    }
    return lines;
}

}  // namespace

int main(int argc, char** argv)
{
    register_benchmarks();
    return run_benchmarks(argc, argv, summary,
                          {"--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                           "--benchmark_display_aggregates_only=true"});
}
