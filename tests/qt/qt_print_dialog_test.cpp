// The printer settings dialog on the offscreen platform, answered by a driver
// that works its widgets as a user would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/qt/qt_paper_codes.h"
#include "platform/qt/qt_print_dialog.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using namespace std::chrono_literals;
using test::ScopedEnv;
using Clock = std::chrono::steady_clock;
using Driver = std::function<void(QPrintDialog&)>;

const std::string kPdfPrinter = "KT482 PDF";

template <class W>
W* widget(QObject& parent, const char* name)
{
    W* found = parent.findChild<W*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QComboBox* printer_list(QPrintDialog& dialog)
{
    return widget<QComboBox>(dialog, "printers");
}

// Opens the page settings, lets `change` work on them, accepts them, and then
// runs `after` on the dialog.
void in_page_settings(QPrintDialog& dialog, std::function<void(QDialog&)> change, Driver after)
{
    QTimer::singleShot(0, &dialog, [&dialog, change, after] {
        for (QDialog* settings : dialog.findChildren<QDialog*>()) {
            if (settings->isVisible()) {
                change(*settings);
                settings->accept();
                return after(dialog);
            }
        }
        ADD_FAILURE() << "the page settings did not open";
        dialog.reject();
    });
    widget<QPushButton>(dialog, "properties")->click();
}

// Accepts the dialog as it is, with or without a look at the page settings.
Driver accept_unchanged(bool open_settings)
{
    return [open_settings](QPrintDialog& dialog) {
        if (open_settings)
            in_page_settings(dialog, [](QDialog&) {}, [](QPrintDialog& d) { d.accept(); });
        else
            dialog.accept();
    };
}

PrintDialogRequest request_for(std::string device, int16_t paper, int16_t orientation = 1, int16_t duplex = 1)
{
    PrintDialogRequest request;
    request.device_name = std::move(device);
    request.paper_size = paper;
    request.orientation = orientation;
    request.duplex = duplex;
    return request;
}

class QtPrintDialogTest : public testing::Test {
protected:
    void TearDown() override { set_print_dialog_driver({}); }

    Result<PrintDialogResult> run(const PrintDialogRequest& request, Driver driver)
    {
        set_print_dialog_driver(std::move(driver));
        return dialog_->run(request);
    }

    test::TempFolder output_;
    ScopedEnv pdf_dir_{"KT482_PDF_DIR", output_.path()};
    // No print server unless a test names one: only the PDF printer.
    ScopedEnv cups_server_{"CUPS_SERVER", output_.path() + "/no-server.sock"};
    std::unique_ptr<PrintDialog> dialog_ = make_qt_print_dialog();
};

// The printer is found with letter case and trailing blanks ignored.
TEST_F(QtPrintDialogTest, AcceptedOnThePdfPrinterWithChangedSettings)
{
    auto result = run(request_for("kt482 pdf  ", 11), [](QPrintDialog& dialog) {
        EXPECT_EQ(printer_list(dialog)->currentText().toStdString(), kPdfPrinter);
        EXPECT_FALSE(widget<QGroupBox>(dialog, "gbPrintRange")->isVisibleTo(&dialog));
        in_page_settings(
            dialog,
            [](QDialog& settings) {
                QComboBox* sizes = widget<QComboBox>(settings, "pageSizeCombo");
                EXPECT_EQ(sizes->currentText(), QPageSize(QPageSize::A5).name());
                sizes->setCurrentIndex(sizes->findText(QPageSize(QPageSize::A4).name()));
                widget<QAbstractButton>(settings, "landscape")->click();
            },
            [](QPrintDialog& dialog) {
                widget<QSpinBox>(dialog, "copies")->setValue(3);
                widget<QAbstractButton>(dialog, "duplexShort")->click();
                dialog.accept();
            });
    });
    ASSERT_TRUE(result.ok()) << result.failure().description;
    EXPECT_TRUE(result->confirmed);
    EXPECT_EQ(result->device_name, kPdfPrinter);
    EXPECT_EQ(result->paper_size, 9);
    EXPECT_FLOAT_EQ(result->page_height, 841.9f);
    EXPECT_FLOAT_EQ(result->page_width, 595.3f);
    EXPECT_EQ(result->orientation, 2);
    EXPECT_EQ(result->copies, 3);
    EXPECT_EQ(result->duplex, 3);
}

// The PDF printer's type, which the library sets itself, in the language of
// the environment.
TEST_F(QtPrintDialogTest, PdfPrinterTypeIsInTheUsersLanguage)
{
    for (const auto& [lang, type] : {std::pair{"ja_JP.UTF-8", "PDF ファイル"}, std::pair{"C.UTF-8", "PDF file"}}) {
        ScopedEnv all("LC_ALL", std::nullopt), messages("LC_MESSAGES", std::nullopt);
        ScopedEnv language("LANGUAGE", std::nullopt), chosen("LANG", lang);
        std::string shown;
        auto result = run(request_for(kPdfPrinter, 9), [&shown](QPrintDialog& dialog) {
            if (QLabel* label = widget<QLabel>(dialog, "type"))
                shown = label->text().toStdString();
            dialog.reject();
        });
        ASSERT_TRUE(result.ok()) << result.failure().description;
        EXPECT_EQ(shown, type) << lang;
    }
}

TEST_F(QtPrintDialogTest, CancelledGivesNothing)
{
    auto result = run(request_for(kPdfPrinter, 9, 2, 2), [](QPrintDialog& dialog) {
        widget<QSpinBox>(dialog, "copies")->setValue(5);
        dialog.reject();
    });
    ASSERT_TRUE(result.ok()) << result.failure().description;
    EXPECT_FALSE(result->confirmed);
    EXPECT_EQ(result->device_name, "");
    EXPECT_EQ(result->paper_size, 0);
    EXPECT_EQ(result->copies, 0);
}

// The table in qt_print_dialog.h. A paper kept comes back as its own code,
// whether the page settings were opened or not (Qt takes a user-defined 612 x
// 792 points for Letter); a paper chosen in the page settings comes back as
// the lowest code of its page size.
TEST_F(QtPrintDialogTest, PaperRoundTrip)
{
    PrintDialogRequest custom = request_for(kPdfPrinter, kPaperUserDefined);
    custom.page_height = 792;
    custom.page_width = 612;
    for (bool open_settings : {false, true}) {
        auto result = run(custom, accept_unchanged(open_settings));
        ASSERT_TRUE(result.ok()) << result.failure().description;
        EXPECT_EQ(result->paper_size, kPaperUserDefined) << "page settings opened: " << open_settings;
        EXPECT_FLOAT_EQ(result->page_height, 792);
        EXPECT_FLOAT_EQ(result->page_width, 612);
    }

    for (const PaperEntry& entry : paper_table()) {
        // Qt's page settings list only the sizes Qt knows: opening them on
        // another size (7, 12, 15, 22) shows, and so keeps, Qt's first one.
        const bool qt_knows_it = pageSizeForPaperCode(entry.code)->id() != QPageSize::Custom;
        for (bool open_settings : {false, true}) {
            if (open_settings && !qt_knows_it)
                continue;
            auto kept = run(request_for(kPdfPrinter, entry.code, 2, 1), accept_unchanged(open_settings));
            ASSERT_TRUE(kept.ok()) << kept.failure().description;
            EXPECT_EQ(kept->paper_size, entry.code) << "page settings opened: " << open_settings;
            EXPECT_EQ(kept->orientation, 2);
        }

        // Chosen anew by Qt's name for it, where Qt knows the size by name.
        const QPageSize page = *pageSizeForPaperCode(entry.code);
        if (page.id() == QPageSize::Custom)
            continue;
        const int16_t lowest = paper_code_for_size(paper_size_mm(entry));
        const QString name = QPageSize(page.id()).name();
        const int16_t other_paper = page.id() == QPageSize::A5 ? 9 : 11;
        auto chosen = run(request_for(kPdfPrinter, other_paper), [name](QPrintDialog& dialog) {
            in_page_settings(
                dialog,
                [name](QDialog& settings) {
                    QComboBox* sizes = widget<QComboBox>(settings, "pageSizeCombo");
                    sizes->setCurrentIndex(sizes->findText(name));
                },
                [](QPrintDialog& d) { d.accept(); });
        });
        ASSERT_TRUE(chosen.ok()) << chosen.failure().description;
        EXPECT_EQ(chosen->paper_size, lowest) << "code " << entry.code << " chosen as " << name.toStdString();
    }
}

TEST_F(QtPrintDialogTest, WithoutDisplayFailsAtOnce)
{
    // With a display named, Qt still runs offscreen here: nobody could see it.
    for (std::optional<std::string> display : {std::optional<std::string>(), std::optional<std::string>(":99")}) {
        ScopedEnv named("DISPLAY", display);
        ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
        const auto start = Clock::now();
        auto result = dialog_->run(request_for(kPdfPrinter, 9));
        EXPECT_LT(Clock::now() - start, 1s);
        ASSERT_FALSE(result.ok());
        EXPECT_TRUE(result.failure().is(ErrorNumber::InvalidCall));
        EXPECT_EQ(result.failure().description.rfind("The printer settings dialog needs a display", 0), 0u)
            << result.failure().description;
    }
}

// libcups would wait about two minutes for these servers: the dialog leaves
// them out and offers the PDF printer at once, which can be chosen.
TEST_F(QtPrintDialogTest, HungPrintServerLeavesThePdfPrinter)
{
    for (const auto behaviour : {test::ServerBehaviour::NeverReply, test::ServerBehaviour::ProbeOnly,
                                 test::ServerBehaviour::Drip, test::ServerBehaviour::EndlessHeader}) {
        auto server = test::FakeServer::on_unix_socket(behaviour);
        ScopedEnv cups_server("CUPS_SERVER", server->address());
        QStringList listed;
        const auto start = Clock::now();
        auto result = run(request_for("office", 9), [&listed](QPrintDialog& dialog) {
            QComboBox* printers = printer_list(dialog);
            for (int i = 0; i < printers->count(); ++i)
                listed << printers->itemText(i);
            dialog.accept();
        });
        EXPECT_LT(Clock::now() - start, 3s);
        EXPECT_EQ(listed, QStringList{QString::fromLatin1(kPdfPrinter)});
        ASSERT_TRUE(result.ok()) << result.failure().description;
        EXPECT_TRUE(result->confirmed);
        EXPECT_EQ(result->device_name, kPdfPrinter);
        EXPECT_EQ(result->paper_size, 9);
    }
}

// The paper source and kind lists, fed by a stand-in for the print server:
// the values offered, the choice the dialog opened with shown, the user's
// pick reported, and a server that does not answer changing nothing.
struct PaperChoiceCase {
    const char* name;
    std::optional<PaperChoices> offered;  // none: the server does not answer
    const char* source;                   // the choices the dialog opens with
    const char* kind;
    const char* pick_source;  // what the user picks; null: nothing
    const char* pick_kind;
    const char* shown_source;  // the list's value once open
    bool enabled;
    const char* result_source;
    const char* result_kind;
};

class QtPaperChoices : public QtPrintDialogTest, public testing::WithParamInterface<PaperChoiceCase> {};

TEST_P(QtPaperChoices, OfferTheQueuesValuesAndReportThePick)
{
    const PaperChoiceCase& c = GetParam();
    PrintDialogRequest request = request_for(kPdfPrinter, 9);
    request.media_source = c.source;
    request.media_type = c.kind;
    std::vector<std::string> asked;
    request.paper_choices = [&](const std::string& name) -> Result<PaperChoices> {
        asked.push_back(name);
        if (!c.offered)
            return Failure(ErrorNumber::PrinterError, "The print server does not answer");
        return *c.offered;
    };
    QStringList listed;
    auto result = run(request, [&](QPrintDialog& dialog) {
        QComboBox* sources = widget<QComboBox>(dialog, "paperSource");
        QComboBox* kinds = widget<QComboBox>(dialog, "mediaType");
        if (!sources || !kinds)
            return dialog.reject();
        for (int i = 0; i < sources->count(); ++i)
            listed << sources->itemData(i).toString();
        EXPECT_EQ(sources->currentData().toString().toStdString(), c.shown_source);
        EXPECT_EQ(sources->isEnabled(), c.enabled);
        EXPECT_EQ(kinds->isEnabled(), c.enabled);
        // In Qt's Options tab, beside the duplex.
        EXPECT_TRUE(widget<QWidget>(dialog, "optionsTab")->isAncestorOf(sources));
        if (c.pick_source)
            sources->setCurrentIndex(sources->findData(QString::fromLatin1(c.pick_source)));
        if (c.pick_kind)
            kinds->setCurrentIndex(kinds->findData(QString::fromLatin1(c.pick_kind)));
        dialog.accept();
    });
    ASSERT_TRUE(result.ok()) << result.failure().description;
    EXPECT_EQ(asked, std::vector<std::string>{kPdfPrinter});
    QStringList expected{QString()};
    for (const std::string& value : c.offered ? c.offered->sources : std::vector<std::string>{})
        expected << QString::fromStdString(value);
    EXPECT_EQ(listed, expected);
    EXPECT_EQ(result->media_source, c.result_source);
    EXPECT_EQ(result->media_type, c.result_kind);
}

const PaperChoices kTrays{{"auto", "manual", "tray-1"}, {"stationery", "envelope"}};

INSTANTIATE_TEST_SUITE_P(
    Lists, QtPaperChoices,
    testing::Values(PaperChoiceCase{"Picked", kTrays, "tray-1", "", "manual", "envelope", "tray-1", true, "manual",
                                    "envelope"},
                    PaperChoiceCase{"KeptAsOpened", kTrays, "tray-1", "envelope", nullptr, nullptr, "tray-1", true,
                                    "tray-1", "envelope"},
                    PaperChoiceCase{"PrintersOwnPicked", kTrays, "tray-1", "envelope", "", "", "tray-1", true, "", ""},
                    PaperChoiceCase{"NotOfferedIsThePrintersOwn", kTrays, "tray-9", "parchment", nullptr, nullptr, "",
                                    true, "", ""},
                    PaperChoiceCase{"NoneOffered", PaperChoices{}, "tray-1", "", nullptr, nullptr, "", false, "", ""},
                    PaperChoiceCase{"ServerSilentKeepsThem", std::nullopt, "tray-1", "envelope", nullptr, nullptr, "",
                                    false, "tray-1", "envelope"}),
    [](const testing::TestParamInfo<PaperChoiceCase>& info) { return std::string(info.param.name); });

class QtPrintDialogWithCups : public QtPrintDialogTest {
protected:
    void SetUp() override
    {
        const char* socket = std::getenv("KT482_TEST_CUPS_SERVER");
        if (!socket || !*socket)
            GTEST_SKIP() << "KT482_TEST_CUPS_SERVER is not set: start a private server with "
                            "eval \"$(scripts/test-cupsd)\"";
        server_.emplace("CUPS_SERVER", socket);
    }

    std::optional<ScopedEnv> server_;
};

TEST_F(QtPrintDialogWithCups, QueueChosenInTheDialog)
{
    QStringList listed;
    auto result = run(request_for(kPdfPrinter, 9), [&listed](QPrintDialog& dialog) {
        QComboBox* printers = printer_list(dialog);
        for (int i = 0; i < printers->count(); ++i)
            listed << printers->itemText(i);
        printers->setCurrentIndex(printers->findText(QStringLiteral("kt482-test")));
        dialog.accept();
    });
    EXPECT_EQ(listed, (QStringList{QStringLiteral("kt482-fails"), QStringLiteral("kt482-stops"), QStringLiteral("kt482-test"),
                           QStringLiteral("kt482-trays"), QStringLiteral("KT482 PDF")}));
    ASSERT_TRUE(result.ok()) << result.failure().description;
    EXPECT_TRUE(result->confirmed);
    EXPECT_EQ(result->device_name, "kt482-test");
    EXPECT_EQ(result->paper_size, 9);
    EXPECT_EQ(result->copies, 1);
    EXPECT_EQ(result->duplex, 1);
}

// Accepting makes Qt set the queue's default page size (A4) afresh.
TEST_F(QtPrintDialogWithCups, RequestedQueueKeepsItsPage)
{
    std::string shown;
    auto result = run(request_for("KT482-Test ", 11, 2), [&shown](QPrintDialog& dialog) {
        shown = printer_list(dialog)->currentText().toStdString();
        dialog.accept();
    });
    EXPECT_EQ(shown, "kt482-test");
    ASSERT_TRUE(result.ok()) << result.failure().description;
    EXPECT_EQ(result->device_name, "kt482-test");
    EXPECT_EQ(result->paper_size, 11);
    EXPECT_EQ(result->orientation, 2);
}

// The PDF printer's page settings offer no user-defined size; a queue's may.
TEST_F(QtPrintDialogWithCups, SizeDefinedByTheUser)
{
    auto result = run(request_for("kt482-test", 9), [](QPrintDialog& dialog) {
        in_page_settings(
            dialog,
            [](QDialog& settings) {
                QComboBox* sizes = widget<QComboBox>(settings, "pageSizeCombo");
                sizes->setCurrentIndex(sizes->findText(QStringLiteral("Custom")));
                widget<QDoubleSpinBox>(settings, "pageWidth")->setValue(300);
                widget<QDoubleSpinBox>(settings, "pageHeight")->setValue(400);
            },
            [](QPrintDialog& d) { d.accept(); });
    });
    ASSERT_TRUE(result.ok()) << result.failure().description;
    EXPECT_EQ(result->paper_size, kPaperUserDefined);
    // In the dialog's unit, which follows the locale.
    EXPECT_GT(result->page_width, 0);
    EXPECT_NEAR(result->page_height / result->page_width, 4.0 / 3.0, 0.001);
}

// Accepting hands the PDF printer's settings to a queue of Qt's choosing,
// which takes no duplex; the result is still what the dialog showed.
TEST_F(QtPrintDialogWithCups, PdfPrinterChosenOverAQueue)
{
    auto result = run(request_for("kt482-test", 11, 2), [](QPrintDialog& dialog) {
        printer_list(dialog)->setCurrentIndex(printer_list(dialog)->findText(QStringLiteral("KT482 PDF")));
        widget<QSpinBox>(dialog, "copies")->setValue(4);
        widget<QAbstractButton>(dialog, "duplexLong")->click();
        dialog.accept();
    });
    ASSERT_TRUE(result.ok()) << result.failure().description;
    EXPECT_EQ(result->device_name, kPdfPrinter);
    EXPECT_EQ(result->paper_size, 11);
    EXPECT_EQ(result->orientation, 2);
    EXPECT_EQ(result->copies, 4);
    EXPECT_EQ(result->duplex, 2);
}

}  // namespace
}  // namespace kt482
