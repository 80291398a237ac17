#include "platform/qt/qt_paper_codes.h"

#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace kt482 {
namespace {

using Id = QPageSize::PageSizeId;

// The classic sizes and the Qt page sizes that carry them. Where Qt's naming
// differs from the classic one:
// - 7 Executive is 7.25 x 10.5 in, Qt's ExecutiveStandard (Qt's Executive is
//   7.5 x 10 in).
// - 13 B5 is JIS B5, 182 x 257 mm; 34 B5 envelope is ISO B5, 176 x 250 mm.
// - 14 Folio is 8.5 x 13 in, which Qt knows only as the German legal fanfold
//   (Qt's Folio is 8.27 x 13 in), so 41 shares its page size.
// - 15 Quarto is 215 x 275 mm; Qt's Quarto is 8.5 x 10.83 in, within 1 mm.
// - 17 (11 x 17 in) is Tabloid; 18 Note is Letter.
constexpr PaperCodeEntry kTable[] = {
    {1, Id::Letter},
    {2, Id::Letter},
    {3, Id::Tabloid},
    {4, Id::Ledger},
    {5, Id::Legal},
    {6, Id::Statement},
    {7, Id::ExecutiveStandard},
    {8, Id::A3},
    {9, Id::A4},
    {10, Id::A4},
    {11, Id::A5},
    {12, Id::B4},
    {13, Id::JisB5},
    {14, Id::FanFoldGermanLegal},
    {15, Id::Quarto},
    {16, Id::Imperial10x14},
    {17, Id::Tabloid},
    {18, Id::Letter},
    {19, Id::Envelope9},
    {20, Id::Envelope10},
    {21, Id::Envelope11},
    {22, Id::Envelope12},
    {23, Id::Envelope14},
    {24, Id::AnsiC},
    {25, Id::AnsiD},
    {26, Id::AnsiE},
    {27, Id::EnvelopeDL},
    {28, Id::EnvelopeC5},
    {29, Id::EnvelopeC3},
    {30, Id::EnvelopeC4},
    {31, Id::EnvelopeC6},
    {32, Id::EnvelopeC65},
    {33, Id::EnvelopeB4},
    {34, Id::EnvelopeB5},
    {35, Id::EnvelopeB6},
    {36, Id::EnvelopeItalian},
    {37, Id::EnvelopeMonarch},
    {38, Id::EnvelopePersonal},
    {39, Id::FanFoldUS},
    {40, Id::FanFoldGerman},
    {41, Id::FanFoldGermanLegal},
};

constexpr double kMatchToleranceMm = 1.0;

bool withinTolerance(const QSizeF& a, const QSizeF& b)
{
    return std::abs(a.width() - b.width()) <= kMatchToleranceMm &&
           std::abs(a.height() - b.height()) <= kMatchToleranceMm;
}

std::optional<int16_t> codeForId(Id id)
{
    const auto* entry = std::find_if(std::begin(kTable), std::end(kTable),
                                     [id](const PaperCodeEntry& e) { return e.pageSize == id; });
    if (entry == std::end(kTable))
        return std::nullopt;
    return entry->code;
}

std::optional<int16_t> codeForSize(const QSizeF& millimetres)
{
    for (const auto& entry : kTable) {
        if (withinTolerance(QPageSize::size(entry.pageSize, QPageSize::Millimeter), millimetres))
            return entry.code;
    }
    return std::nullopt;
}

// How many twips one unit of a page size definition is; zero for the units
// (Didot, Cicero) that are left to Qt's own conversion to points.
double twipsPerUnit(QPageSize::Unit unit)
{
    switch (unit) {
    case QPageSize::Millimeter:
        return 1440.0 / 25.4;
    case QPageSize::Inch:
        return 1440.0;
    case QPageSize::Point:
        return 20.0;
    case QPageSize::Pica:
        return 240.0;
    default:
        return 0.0;
    }
}

}  // namespace

std::span<const PaperCodeEntry> paperCodeTable()
{
    return kTable;
}

std::optional<QPageSize> pageSizeForPaperCode(int16_t code)
{
    const auto* entry = std::find_if(std::begin(kTable), std::end(kTable),
                                     [code](const PaperCodeEntry& e) { return e.code == code; });
    if (entry == std::end(kTable))
        return std::nullopt;
    return QPageSize(entry->pageSize);
}

int16_t paperCodeForPageSize(const QPageSize& pageSize)
{
    if (!pageSize.isValid())
        return kUserDefinedPaperCode;
    if (auto code = codeForId(pageSize.id()))
        return *code;
    const QSizeF size = pageSize.size(QPageSize::Millimeter);
    if (auto code = codeForSize(size))
        return *code;
    if (auto code = codeForSize(size.transposed()))
        return *code;
    return kUserDefinedPaperCode;
}

QSize portraitTwips(const QPageSize& pageSize)
{
    if (!pageSize.isValid())
        return QSize();
    const double perUnit = twipsPerUnit(pageSize.definitionUnits());
    const QSizeF size = perUnit > 0 ? pageSize.definitionSize() * perUnit
                                    : pageSize.size(QPageSize::Point) * 20.0;
    const int a = static_cast<int>(std::lround(size.width()));
    const int b = static_cast<int>(std::lround(size.height()));
    return QSize(std::min(a, b), std::max(a, b));
}

}  // namespace kt482
