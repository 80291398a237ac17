// The printer-setup dialog as the host and the preview open it: W_PrtDialog
// and the preview's settings button through Qt's own print dialog, answered
// by a driver that works its widgets, on the offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QPageSize>
#include <QPrintDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/printer.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_preview_window.h"
#include "platform/qt/qt_print_dialog.h"
#include "support/fake_server.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::ScopedEnv;
using test::TempFolder;

const std::string kPdfPrinter = "KT482 PDF";

// The lowest row of the image with a pixel of the preview's blue frame.
int frame_bottom(const QImage& image)
{
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0x0000FF)
                return y;
    return -1;
}

template <class W>
W* widget(QObject& parent, const char* name)
{
    W* found = parent.findChild<W*>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

// Opens the page settings, lets `change` work on them and accepts them, then
// lets `after` finish the dialog. A dialog left open is rejected.
void in_page_settings(QPrintDialog& dialog, std::function<void(QDialog&)> change,
                      std::function<void(QPrintDialog&)> after)
{
    QTimer::singleShot(0, &dialog, [&dialog, change, after] {
        for (QDialog* settings : dialog.findChildren<QDialog*>()) {
            if (settings->isVisible()) {
                change(*settings);
                settings->accept();
                after(dialog);
                break;
            }
        }
        if (dialog.isVisible()) {
            ADD_FAILURE() << "the dialog was left open";
            dialog.reject();
        }
    });
    widget<QPushButton>(dialog, "properties")->click();
}

class PrinterDialogEndToEnd : public testing::Test {
protected:
    void TearDown() override
    {
        set_print_dialog_driver({});
        set_preview_driver({});
    }

    TempFolder spool_;
    TempFolder out_;
    // No print server: the PDF printer is the only one, and the default.
    ScopedEnv server_{"CUPS_SERVER", spool_.path() + "/no-server.sock"};
    ScopedEnv pdf_dir_{"KT482_PDF_DIR", out_.path()};
    KT482_Print job_;
};

// A name that is no printer opens the dialog on the default; the printer
// chosen there replaces it and is selected.
TEST_F(PrinterDialogEndToEnd, AcceptedSettingsReachTheJobAndThePrinter)
{
    set_print_dialog_driver([](QPrintDialog& dialog) {
        auto* printers = widget<QComboBox>(dialog, "printers");
        printers->setCurrentIndex(printers->findText(QString::fromStdString(kPdfPrinter)));
        in_page_settings(
            dialog, [](QDialog& settings) { widget<QAbstractButton>(settings, "landscape")->click(); },
            [](QPrintDialog& d) {
                widget<QSpinBox>(d, "copies")->setValue(3);
                d.accept();
            });
    });
    EXPECT_EQ(job_.W_PrtDialog(0, "NO SUCH PRINTER", 9, 1), 1);
    EXPECT_EQ(job_.P_PaperSize(), 9);
    EXPECT_EQ(job_.P_Orientation(), 2);
    EXPECT_EQ(job_.P_PRT_Copy(), 3);
    EXPECT_EQ(job().DeviceName, kPdfPrinter);
    ASSERT_NE(job().PrinterObject, nullptr);
    EXPECT_EQ(job().PrinterObject->DeviceName(), kPdfPrinter);
    EXPECT_EQ(job_.P_PRINT(), job().PrinterObject);
}

// Cancelling keeps the settings, but the paper and orientation passed in
// have been taken before the dialog opened.
TEST_F(PrinterDialogEndToEnd, CancelledKeepsTheSettingsAndTheArgumentsPassed)
{
    const int16_t copies = job_.P_PRT_Copy();
    set_print_dialog_driver([](QPrintDialog& dialog) {
        widget<QSpinBox>(dialog, "copies")->setValue(5);
        dialog.reject();
    });
    EXPECT_EQ(job_.W_PrtDialog(0, "", 8, 2), 0);
    EXPECT_EQ(job_.P_PaperSize(), 8);
    EXPECT_EQ(job_.P_Orientation(), 2);
    EXPECT_EQ(job_.P_PRT_Copy(), copies);
    ASSERT_NE(job().PrinterObject, nullptr);
    EXPECT_EQ(job().PrinterObject->DeviceName(), kPdfPrinter);
    EXPECT_EQ(job().PrinterObject->PaperSize(), 8);
}

// The settings button of the preview opens the dialog over the window; A3
// accepted there redraws the page on A3.
TEST_F(PrinterDialogEndToEnd, PreviewSettingsButtonRedrawsOnThePaperChosen)
{
    job_.P_Temp_Dir(spool_.path());
    job_.E_StartEdit();
    job_.E_String(2, 3, "page 1");
    job_.E_EndEdit();
    job_.V_Size_Set(9, 1);
    ASSERT_EQ(job().PageHeight, 842);

    QWidget* dialogParent = nullptr;
    bool previewed = false;
    set_preview_driver([&](QDialog& preview) {
        previewed = true;
        QtPreviewWindow* window = QtPreviewWindow::of(&preview);
        ASSERT_NE(window, nullptr);
        auto& canvas = dynamic_cast<QtCanvas&>(*window->canvas());
        // The image covers the page as far as the screen could show it.
        const int desktop = preview.screen()->virtualSize().height();
        EXPECT_EQ(canvas.image().height(), std::min(1123, desktop));  // 842 points at 96 dpi
        // The frame, 5 mm inside the paper, at the bottom of the page
        // scrolled into view: in pixels, at 96 dpi.
        auto frameAtPageEnd = [&] {
            auto* bar = qobject_cast<QScrollBar*>(window->widget(PreviewControl::VSCROL));
            bar->setValue(0);
            bar->setValue(100);
            return std::pair{frame_bottom(canvas.image()),
                             std::lround((std::floor(job().PageHeight - 14.175 - job().ScrollY + 0.5)) * 96 / 72)};
        };
        const auto [a4Frame, a4Expected] = frameAtPageEnd();
        EXPECT_NEAR(a4Frame, a4Expected, 1);
        EXPECT_NEAR(a4Expected + job().ScrollY * 96 / 72, 1104, 1);

        set_print_dialog_driver([&](QPrintDialog& dialog) {
            dialogParent = dialog.parentWidget();
            in_page_settings(
                dialog,
                [](QDialog& settings) {
                    auto* sizes = widget<QComboBox>(settings, "pageSizeCombo");
                    sizes->setCurrentIndex(sizes->findText(QPageSize(QPageSize::A3).name()));
                },
                [](QPrintDialog& d) { d.accept(); });
        });
        QTest::mouseClick(window->widget(PreviewControl::Settings), Qt::LeftButton);
        EXPECT_EQ(job_.P_PaperSize(), 8);
        EXPECT_EQ(job_.P_Orientation(), 1);
        EXPECT_EQ(job().PageHeight, 1191);
        EXPECT_EQ(job().PageWidth, 842);
        // The page and its frame, 5 mm inside the paper, were drawn on A3:
        // 1191 points at 96 dpi, the frame's bottom at 1177 points.
        EXPECT_EQ(canvas.image().height(), std::min(1588, desktop));
        const auto [a3Frame, a3Expected] = frameAtPageEnd();
        EXPECT_NEAR(a3Frame, a3Expected, 1);
        EXPECT_NEAR(a3Expected + job().ScrollY * 96 / 72, 1569, 1);
        preview.reject();
    });
    testing::internal::CaptureStderr();
    job_.V_Preview();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(previewed);
    EXPECT_EQ(errors.find("KT482_Print"), std::string::npos) << errors;
    EXPECT_NE(dialogParent, nullptr) << "the dialog belongs to the preview window";
}

}  // namespace
}  // namespace kt482
