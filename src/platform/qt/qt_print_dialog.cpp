#include "platform/qt/qt_print_dialog.h"
#include "platform/qt/qt_duplex_codes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QString>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "base/message_catalog.h"
#include "platform/cups_deadline.h"
#include "platform/cups_probe.h"
#include "platform/pdf_output_folder.h"
#include "platform/printer.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_paper_choice_boxes.h"
#include "platform/qt/qt_paper_codes.h"
#include "platform/qt/qt_preview_window.h"

namespace kt482 {
namespace {

// The name of the file the dialog's PDF printer would write; the dialog never
// writes it, the PDF printer picks its own names when it prints.
constexpr const char* kPdfFileName = "KT482_Print.pdf";

// The widgets of Qt's dialog that are adjusted, by their object names.
constexpr const char* kPrinterCombo = "printers";
constexpr const char* kLocationLabel = "location";
constexpr const char* kTypeLabel = "type";
constexpr const char* kPageRangeGroup = "gbPrintRange";
constexpr const char* kNoDuplexRadio = "noDuplex";
constexpr const char* kLongEdgeRadio = "duplexLong";
constexpr const char* kShortEdgeRadio = "duplexShort";
// Qt's page settings dialog, created when the user opens it.
constexpr const char* kPropertiesDialogClass = "QPrintPropertiesDialog";

std::mutex driver_mutex;
std::function<void(QPrintDialog&)> installed_driver;

std::function<void(QPrintDialog&)> current_driver()
{
    std::lock_guard lock(driver_mutex);
    return installed_driver;
}

// The offscreen and minimal platforms show nothing to anybody.
bool can_show_widgets()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

Failure no_display()
{
    return Failure(ErrorNumber::InvalidCall, "The printer settings dialog needs a display, and none is available");
}

QString trimmed_right(const std::string& name)
{
    QString text = QString::fromStdString(name);
    qsizetype end = text.size();
    while (end > 0 && (text[end - 1].isSpace() || text[end - 1].isNull()))
        --end;
    text.truncate(end);
    return text;
}

// The page of the request: a known code, or the user-defined size in points.
// Nothing when the request names neither.
std::optional<QPageSize> requested_page(const PrintDialogRequest& request)
{
    if (request.paper_size == kPaperUserDefined) {
        if (!(request.page_width > 0 && request.page_height > 0))
            return std::nullopt;
        // Only a size that is exactly a standard one becomes it (612 x 792
        // points is Letter); the result tells the two apart by the request.
        return QPageSize(QSizeF(request.page_width, request.page_height), QPageSize::Point, QString(),
                         QPageSize::ExactMatch);
    }
    return pageSizeForPaperCode(request.paper_size);
}

// A size the user defined carries Qt's key for custom sizes; one a queue
// lists carries the queue's own name for it, even when Qt knows no id for it.
bool user_defined(const QPageSize& page)
{
    return page.id() == QPageSize::Custom && page.key().startsWith(QLatin1String("Custom."));
}

// The same paper: sizes within half a point.
bool same_size(const QPageSize& a, const QPageSize& b)
{
    const QSizeF x = a.size(QPageSize::Point);
    const QSizeF y = b.size(QPageSize::Point);
    return std::abs(x.width() - y.width()) < 0.5 && std::abs(x.height() - y.height()) < 0.5;
}

class SetupDialog final : public QPrintDialog {
public:
    SetupDialog(QPrinter* printer, QWidget* parent) : QPrintDialog(printer, parent)
    {
        setOptions(QAbstractPrintDialog::PrintShowPageSize);
        setWindowTitle(QStringLiteral("Printer Setup"));
        // A setup dialog confirms the settings; it does not print.
        if (auto* buttons = findChild<QDialogButtonBox*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
                ok->setText(QCoreApplication::translate("QPlatformTheme", "OK"));
        }
    }

    void setVisible(bool visible) override
    {
        QPrintDialog::setVisible(visible);
        // Qt shows the page range whenever the print server could filter
        // pages; the form's pages are printed whole.
        if (visible) {
            if (auto* range = findChild<QGroupBox*>(QLatin1String(kPageRangeGroup)))
                range->hide();
        }
    }

    void accept() override
    {
        // Qt applies the printer chosen before the page settings, and sets
        // the page size afresh from that printer unless the page settings
        // were opened: the page the user kept is the one held until now.
        keptLayout_ = printer()->pageLayout();
        pageSettingsOpened_ = propertiesDialog() != nullptr;
        QPrintDialog::accept();
    }

    // The page the user chose, once accepted.
    QPageLayout chosenLayout()
    {
        return pageSettingsOpened_ ? printer()->pageLayout() : keptLayout_;
    }

private:
    QDialog* propertiesDialog() const
    {
        for (QDialog* dialog : findChildren<QDialog*>()) {
            if (qstrcmp(dialog->metaObject()->className(), kPropertiesDialogClass) == 0)
                return dialog;
        }
        return nullptr;
    }

    QPageLayout keptLayout_;
    bool pageSettingsOpened_ = false;
};

class QtPrintDialog final : public PrintDialog {
public:
    Result<PrintDialogResult> run(const PrintDialogRequest& request) override
    {
        if (Status here = on_qt_application_thread(); !here)
            return here.failure();
        auto driver = current_driver();
        if (!driver && !display_available())
            return no_display();
        ensure_qt_application();
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()) || (!driver && !can_show_widgets()))
            return no_display();
        // Qt's dialog lists the queues as soon as it is created. A server
        // that does not answer is left out, so that the dialog offers the PDF
        // printer at once; one that answers gets a deadline for the queries
        // made while the dialog is set up.
        std::optional<CupsServerOff> serverOff;
        std::optional<CupsDeadline> setupDeadline;
        if (cups_server_state_for_queries() == CupsServerState::Silent)
            serverOff.emplace();
        else
            setupDeadline.emplace();

        auto folder = pdf_output_folder();
        pdfFolder_ = folder ? QString::fromStdString(*folder) : QString();

        const QString wanted = targetPrinter(request);
        const bool pdf = wanted == QLatin1String(kPdfPrinterName);
        QPrinter printer;
        if (pdf)
            usePdf(printer);
        else
            printer.setPrinterName(wanted);
        applyRequest(printer, request);

        SetupDialog dialog(&printer, request.owner ? qtPreviewDialog(request.owner) : nullptr);
        // A host window given by its native id owns the dialog as its
        // transient parent, so the dialog stays above it.
        std::unique_ptr<QWindow> hostWindow;
        if (!request.owner && request.owner_window != 0) {
            hostWindow.reset(QWindow::fromWinId(static_cast<WId>(request.owner_window)));
            dialog.winId();
            if (hostWindow && dialog.windowHandle())
                dialog.windowHandle()->setTransientParent(hostWindow.get());
        }
        QComboBox* printers = dialog.findChild<QComboBox*>(QLatin1String(kPrinterCombo));
        if (!printers)
            return Failure(ErrorNumber::PrinterError, "The print dialog has no printer list");
        printers->addItem(QString::fromLatin1(kPdfPrinterName));
        const int pdfIndex = printers->count() - 1;
        // Runs after Qt's own handler, which has just set the printer up as a
        // queue without a device.
        QObject::connect(printers, &QComboBox::currentIndexChanged, &dialog, [&, pdfIndex](int index) {
            if (index == pdfIndex)
                describePdfPrinter(dialog, printer);
        });
        const int index = pdf ? pdfIndex : printers->findText(wanted, Qt::MatchFixedString);
        if (index >= 0 && index != printers->currentIndex())
            printers->setCurrentIndex(index);
        if (printers->currentIndex() == pdfIndex)
            describePdfPrinter(dialog, printer);
        // Choosing the printer may have put its own defaults on the printer.
        applyRequest(printer, request);
        checkDuplex(dialog, request.duplex);

        // The user takes the time the dialog is open; libcups' own waits
        // apply to what choosing a queue asks. A server that ran out the
        // setup's deadline (one that drips its replies, say) is left out for
        // the rest of the dialog too: accepting it asks for the chosen
        // printer again, and that query would have no deadline.
        const bool serverFailed = setupDeadline && setupDeadline->expired();
        setupDeadline.reset();
        if (serverFailed && !serverOff)
            serverOff.emplace();

        // The paper choices are asked with their own deadline, each time
        // the dialog shows another printer.
        auto* paper = new PaperChoiceBoxes(dialog, request.paper_choices, request.media_source, request.media_type);
        auto shownPrinter = [&, pdfIndex] {
            return printers->currentIndex() == pdfIndex ? std::string(kPdfPrinterName)
                                                        : printers->currentText().toStdString();
        };
        paper->showPrinter(shownPrinter());
        QObject::connect(printers, &QComboBox::currentIndexChanged, paper,
                         [paper, shownPrinter] { paper->showPrinter(shownPrinter()); });
        if (driver)
            QTimer::singleShot(0, &dialog, [&dialog, &driver] { driver(dialog); });
        if (dialog.exec() != QDialog::Accepted)
            return PrintDialogResult{};

        const QPageLayout layout = dialog.chosenLayout();
        printer.setPageLayout(layout);
        PrintDialogResult result;
        result.confirmed = true;
        const bool pdfChosen = printers->currentIndex() == pdfIndex;
        result.device_name = pdfChosen ? kPdfPrinterName : printers->currentText().toStdString();
        setPaper(result, layout.pageSize(), request);
        result.orientation = layout.orientation() == QPageLayout::Landscape ? 2 : 1;
        result.copies = static_cast<int16_t>(std::clamp(printer.copyCount(), 1, 32767));
        // Qt hands the PDF printer's settings to a queue of its own choosing,
        // which may take no duplex: the dialog's choice is what counts.
        result.duplex = pdfChosen ? chosenDuplex(dialog) : duplexCodeForMode(printer.duplex());
        result.media_source = paper->chosenSource();
        result.media_type = paper->chosenKind();
        return result;
    }

private:
    // The request's printer among those the dialog lists, as the dialog
    // spells it; else the default queue, else the PDF printer.
    static QString targetPrinter(const PrintDialogRequest& request)
    {
        const QString name = trimmed_right(request.device_name);
        if (name.compare(QLatin1String(kPdfPrinterName), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(kPdfPrinterName);
        const QStringList queues = QPrinterInfo::availablePrinterNames();
        for (const QString& queue : queues) {
            if (queue.compare(name, Qt::CaseInsensitive) == 0)
                return queue;
        }
        const QString fallback = QPrinterInfo::defaultPrinterName();
        return queues.contains(fallback) ? fallback : QString::fromLatin1(kPdfPrinterName);
    }

    void usePdf(QPrinter& printer) const
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        if (!pdfFolder_.isEmpty())
            printer.setOutputFileName(QDir(pdfFolder_).filePath(QLatin1String(kPdfFileName)));
    }

    static void applyRequest(QPrinter& printer, const PrintDialogRequest& request)
    {
        if (auto page = requested_page(request))
            printer.setPageSize(*page);
        printer.setPageOrientation(request.orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
        if (request.duplex >= 1 && request.duplex <= 3)
            printer.setDuplex(duplexModeForCode(request.duplex));
    }

    // Qt's dialog knows no device behind the PDF printer: it says nothing
    // about it and offers no duplex. Both are put right, and the printer is
    // the PDF printer again.
    void describePdfPrinter(QPrintDialog& dialog, QPrinter& printer) const
    {
        usePdf(printer);
        if (auto* location = dialog.findChild<QLabel*>(QLatin1String(kLocationLabel)))
            location->setText(pdfFolder_);
        if (auto* type = dialog.findChild<QLabel*>(QLatin1String(kTypeLabel)))
            type->setText(QString::fromUtf8(translated("PDF file")));
        for (const char* name : {kLongEdgeRadio, kShortEdgeRadio}) {
            if (auto* radio = dialog.findChild<QRadioButton*>(QLatin1String(name)))
                radio->setEnabled(true);
        }
    }

    // The paper the request asked for is reported as it was asked for, when
    // the user kept it: Qt knows a user-defined 612 x 792 points as Letter,
    // and A4 small as A4.
    static void setPaper(PrintDialogResult& result, const QPageSize& page, const PrintDialogRequest& request)
    {
        const auto requested = requested_page(request);
        if (requested && same_size(page, *requested)) {
            result.paper_size = request.paper_size;
            if (request.paper_size == kPaperUserDefined) {
                result.page_height = request.page_height;
                result.page_width = request.page_width;
                return;
            }
        } else {
            result.paper_size = user_defined(page) ? kPaperUserDefined : paperCodeForPageSize(page);
        }
        const QSize twips = portraitTwips(page);
        result.page_height = static_cast<float>(twips.height()) / 20.0f;
        result.page_width = static_cast<float>(twips.width()) / 20.0f;
    }

    // Shows the requested duplex, where the printer offers it.
    static void checkDuplex(QPrintDialog& dialog, int16_t duplex)
    {
        const char* name = duplex == 2 ? kLongEdgeRadio : duplex == 3 ? kShortEdgeRadio : kNoDuplexRadio;
        if (duplex < 1 || duplex > 3)
            return;
        auto* radio = dialog.findChild<QRadioButton*>(QLatin1String(name));
        if (radio && radio->isEnabled())
            radio->setChecked(true);
    }

    static int16_t chosenDuplex(QPrintDialog& dialog)
    {
        auto checked = [&dialog](const char* name) {
            auto* radio = dialog.findChild<QRadioButton*>(QLatin1String(name));
            return radio && radio->isChecked();
        };
        if (checked(kLongEdgeRadio))
            return 2;
        if (checked(kShortEdgeRadio))
            return 3;
        return 1;
    }

    QString pdfFolder_;
};

}  // namespace

std::unique_ptr<PrintDialog> make_qt_print_dialog()
{
    return std::make_unique<QtPrintDialog>();
}

void set_print_dialog_driver(std::function<void(QPrintDialog&)> driver)
{
    std::lock_guard lock(driver_mutex);
    installed_driver = std::move(driver);
}

}  // namespace kt482
