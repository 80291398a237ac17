#include "platform/qt/qt_paper_codes.h"

#include <QSizeF>
#include <QString>

#include <algorithm>
#include <cmath>

#include "base/units.h"

namespace kt482 {
namespace {

// How many twips one unit of a page size definition is; zero for the units
// (Didot, Cicero) that are left to Qt's own conversion to points.
double twipsPerUnit(QPageSize::Unit unit)
{
    switch (unit) {
    case QPageSize::Millimeter:
        return kTwipsPerMillimetre;
    case QPageSize::Inch:
        return kTwipsPerInch;
    case QPageSize::Point:
        return kTwipsPerPoint;
    case QPageSize::Pica:
        return 240.0;
    default:
        return 0.0;
    }
}

}  // namespace

std::optional<QPageSize> pageSizeForPaperCode(int16_t code)
{
    const auto entry = paper_entry(code);
    if (!entry)
        return std::nullopt;
    const QPageSize::Unit unit = entry->unit == PaperUnit::Inch ? QPageSize::Inch : QPageSize::Millimeter;
    const QSizeF size(entry->width, entry->height);
    // A size Qt knows exactly is Qt's own page size: its dialogs list sizes
    // by Qt's names, and drivers know them.
    QPageSize standard(size, unit, QString(), QPageSize::ExactMatch);
    if (standard.id() != QPageSize::Custom)
        return standard;
    return QPageSize(size, unit, QString::fromUtf8(entry->name.data(), static_cast<qsizetype>(entry->name.size())),
                     QPageSize::ExactMatch);
}

PaperSizeMm paperSizeMm(const QPageSize& pageSize)
{
    const QSizeF size = pageSize.size(QPageSize::Millimeter);
    return {size.width(), size.height()};
}

int16_t paperCodeForPageSize(const QPageSize& pageSize)
{
    if (!pageSize.isValid())
        return kPaperUserDefined;
    return paper_code_for_size(paperSizeMm(pageSize));
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
