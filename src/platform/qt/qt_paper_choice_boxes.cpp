#include "platform/qt/qt_paper_choice_boxes.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QPrintDialog>
#include <QSignalBlocker>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <utility>

#include "base/message_catalog.h"

namespace kt482 {
namespace {

// Qt's Options tab, where the colour and duplex settings are.
constexpr const char* kOptionsTab = "optionsTab";

QString text(const char* english)
{
    return QString::fromUtf8(translated(english));
}

std::string value_of(const QComboBox& box)
{
    return box.currentData().toString().toStdString();
}

}  // namespace

PaperChoiceBoxes::PaperChoiceBoxes(QPrintDialog& dialog, Source source, std::string media_source,
                                   std::string media_type)
    : QGroupBox(text("Paper"), &dialog),
      source_(std::move(source)),
      wantedSource_(std::move(media_source)),
      wantedKind_(std::move(media_type))
{
    setObjectName(QStringLiteral("kt482PaperChoices"));
    sources_ = new QComboBox(this);
    sources_->setObjectName(QStringLiteral("paperSource"));
    kinds_ = new QComboBox(this);
    kinds_->setObjectName(QStringLiteral("mediaType"));
    auto* form = new QFormLayout(this);
    form->addRow(text("Paper source:"), sources_);
    form->addRow(text("Paper type:"), kinds_);
    // What the user picks is what the dialog shows again on a printer that
    // offers it; filling the lists anew (with their signals blocked) is no
    // choice of the user's.
    QObject::connect(sources_, &QComboBox::currentIndexChanged, this, [this] { wantedSource_ = value_of(*sources_); });
    QObject::connect(kinds_, &QComboBox::currentIndexChanged, this, [this] { wantedKind_ = value_of(*kinds_); });
    auto* tab = dialog.findChild<QWidget*>(QLatin1String(kOptionsTab));
    auto* grid = tab ? qobject_cast<QGridLayout*>(tab->layout()) : nullptr;
    if (grid)
        grid->addWidget(this, grid->rowCount(), 0, 1, std::max(grid->columnCount(), 1));
    else
        hide();
}

void PaperChoiceBoxes::showPrinter(const std::string& device_name)
{
    Result<PaperChoices> offered = source_ ? source_(device_name) : Result<PaperChoices>(PaperChoices{});
    answered_ = offered.ok();
    if (!answered_) {
        setToolTip(QString::fromStdString(localized(offered.failure().description)));
        offered = PaperChoices{};
    } else {
        setToolTip(QString());
    }
    fill(*sources_, offered->sources, wantedSource_);
    fill(*kinds_, offered->kinds, wantedKind_);
}

void PaperChoiceBoxes::fill(QComboBox& box, const std::vector<std::string>& values, const std::string& wanted)
{
    const QSignalBlocker quiet(box);
    box.clear();
    box.addItem(text("Printer's own"), QString());
    for (const std::string& value : values)
        box.addItem(QString::fromStdString(value), QString::fromStdString(value));
    const int index = box.findData(QString::fromStdString(wanted));
    box.setCurrentIndex(index < 0 ? 0 : index);
    box.setEnabled(!values.empty());
}

// A server that did not answer leaves the choices as they came: they are
// checked again when the printer is selected.
std::string PaperChoiceBoxes::chosenSource() const
{
    return answered_ ? value_of(*sources_) : wantedSource_;
}

std::string PaperChoiceBoxes::chosenKind() const
{
    return answered_ ? value_of(*kinds_) : wantedKind_;
}

}  // namespace kt482
