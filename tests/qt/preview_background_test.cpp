// The preview's background: the pre-printed form under the page in the
// window's pixels at each zoom, absent from what the print button prints,
// and in the saved PDF only when asked.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_preview_window.h"
#include "support/fake_server.h"
#include "support/file_dialog_answer.h"
#include "support/picture_files.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempFolder;

// The form's colour: a green no text or rule of the page has.
constexpr QRgb kFormGreen = qRgb(0x30, 0xC0, 0x50);

int green_share_percent(const QImage& image)
{
    long green = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
        {
            // A PDF page comes through a colour conversion: a step off is the same green.
            const QRgb p = image.pixel(x, y);
            green += std::abs(qRed(p) - qRed(kFormGreen)) <= 3 && std::abs(qGreen(p) - qGreen(kFormGreen)) <= 3 &&
                     std::abs(qBlue(p) - qBlue(kFormGreen)) <= 3;
        }
    const long sampled = static_cast<long>((image.width() + 1) / 2) * ((image.height() + 1) / 2);
    return sampled ? static_cast<int>(green * 100 / sampled) : 0;
}

std::vector<std::string> pdf_files(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".pdf")
            files.push_back(entry.path().string());
    return files;
}

class PreviewBackground : public testing::Test {
protected:
    void SetUp() override
    {
        test::write_file(form_, test::png_bytes(40, 56, 3, test::solid(40, 56, {0x30, 0xC0, 0x50})));
        job_.P_Temp_Dir(spool_.path());
        job_.E_StartEdit();
        job_.E_Pitch(15, 6);
        job_.E_Font("ＭＳ 明朝", 10.5f, false, 0);
        job_.E_String(2, 3, "DATA");
        job_.E_EndEdit();
    }

    // Shows the preview with the steps; false when it never showed.
    bool preview(const std::function<void(QtPreviewWindow&, QDialog&)>& steps)
    {
        bool driven = false;
        set_preview_driver([&](QDialog& dialog) {
            QtPreviewWindow* window = QtPreviewWindow::of(&dialog);
            driven = window && QTest::qWaitForWindowActive(&dialog);
            if (driven)
                steps(*window, dialog);
            if (dialog.isVisible())
                dialog.reject();
        });
        job_.V_Size_Set(9, 1);
        job_.V_Preview();
        set_preview_driver({});
        return driven;
    }

    TempFolder spool_;
    TempFolder out_;
    std::string form_ = spool_.path() + "/form.png";
    ScopedEnv server_{"CUPS_SERVER", spool_.path() + "/no-server.sock"};
    ScopedEnv pdf_dir_{"KT482_PDF_DIR", out_.path()};
    KT482_Print job_;
};

// Under the page at 100 % and 200 %, and the print button's PDF has no
// picture at all.
TEST_F(PreviewBackground, ShownAtEveryZoomAndNeverPrinted)
{
    if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (poppler-utils): the PDF cannot be read back";
    job_.V_Background(form_);
    ASSERT_EQ(job_.LastFailure().number, 0) << job_.LastFailure().description;
    for (float zoom : {1.0f, 2.0f}) {
        job_.P_Bairitu(zoom);
        const bool last = zoom == 2.0f;
        ASSERT_TRUE(preview([&](QtPreviewWindow& w, QDialog&) {
            const QImage shown = dynamic_cast<QtCanvas&>(*w.canvas()).image();
            if (zoom == 1.0f)
                shown.save(QString::fromStdString(out_.path() + "/../kt482-preview-background.png"));
            EXPECT_GT(green_share_percent(shown), 60) << "zoom " << zoom;
            if (last)
                QTest::mouseClick(w.widget(PreviewControl::Print), Qt::LeftButton);
        }));
    }
    const auto files = pdf_files(out_.path());
    ASSERT_EQ(files.size(), 1u);
    const auto images = test::command_output("pdfimages -list '" + files[0] + "' | tail -n +3 | wc -l");
    ASSERT_TRUE(images);
    EXPECT_EQ(std::stoi(*images), 0) << files[0];
    EXPECT_NE(test::pdf_page_texts(files[0]).at(0).find("DATA"), std::string::npos);
}

// The number of pictures in the PDF file, as pdfimages lists them.
int pictures_in(const std::string& pdf)
{
    const auto listed = test::command_output("pdfimages -list '" + pdf + "' | tail -n +3 | wc -l");
    return listed ? std::stoi(*listed) : -1;
}

// Save as PDF carries the form only when V_BackgroundInPdf asked for it; the
// print button's document never does. Both keep the page's text.
class PreviewBackgroundInPdf : public PreviewBackground, public testing::WithParamInterface<bool> {};

TEST_P(PreviewBackgroundInPdf, OnlyTheSavedFileAndOnlyWhenAsked)
{
    if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (poppler-utils): the PDF cannot be read back";
    const bool asked = GetParam();
    job_.V_Background(form_);
    job_.V_BackgroundInPdf(asked);
    ASSERT_EQ(job_.LastFailure().number, 0) << job_.LastFailure().description;
    TempFolder saved_folder;
    const std::string saved = saved_folder.path() + "/filled.pdf";
    ASSERT_TRUE(preview([&](QtPreviewWindow& w, QDialog&) {
        QAction* save = nullptr;
        for (QAction* action : w.contextMenu()->actions())
            if (action->text() == QString::fromUtf8("PDFに保存…"))
                save = action;
        ASSERT_NE(save, nullptr);
        test::answer_file_dialog(QString::fromStdString(saved));
        save->trigger();
        QTest::mouseClick(w.widget(PreviewControl::Print), Qt::LeftButton);
    }));
    ASSERT_TRUE(fs::exists(saved));
    const auto printed = pdf_files(out_.path());
    ASSERT_EQ(printed.size(), 1u);
    EXPECT_EQ(pictures_in(saved), asked ? 1 : 0) << saved;
    EXPECT_EQ(pictures_in(printed[0]), 0) << printed[0];
    // The form is under the whole page in the saved file: its green fills
    // most of the page's pixels there, and none of the printed one's.
    for (const auto& [file, share] : {std::pair{saved, asked ? 60 : -1}, std::pair{printed[0], -1}}) {
        const std::string png = out_.path() + "/page";
        ASSERT_TRUE(test::command_output("pdftocairo -png -r 30 -singlefile '" + file + "' '" + png + "'"));
        const int green = green_share_percent(QImage(QString::fromStdString(png + ".png")));
        if (share > 0)
            EXPECT_GT(green, share) << file;
        else
            EXPECT_EQ(green, 0) << file;
        EXPECT_NE(test::pdf_page_texts(file).at(0).find("DATA"), std::string::npos) << file;
    }
}

INSTANTIATE_TEST_SUITE_P(Switch, PreviewBackgroundInPdf, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Included" : "LeftOut");
                         });

// A PDF page as the form, rendered under the page like a picture.
TEST_F(PreviewBackground, PdfPageAsTheForm)
{
    const std::string pdf = spool_.path() + "/form.pdf";
    const std::string text =
        "%PDF-1.4\n1 0 obj <</Type/Catalog/Pages 2 0 R>> endobj\n"
        "2 0 obj <</Type/Pages/Kids[3 0 R]/Count 1>> endobj\n"
        "3 0 obj <</Type/Page/Parent 2 0 R/MediaBox[0 0 595 842]/Contents 4 0 R>> endobj\n"
        "4 0 obj <</Length 55>> stream\n0.18824 0.75294 0.31373 rg 0 0 595 842 re f\nendstream endobj\n"
        "trailer <</Root 1 0 R>>\n%%EOF\n";
    test::write_file(pdf, std::vector<uint8_t>(text.begin(), text.end()));
    job_.V_Background(pdf);
    ASSERT_EQ(job_.LastFailure().number, 0) << job_.LastFailure().description;
    EXPECT_TRUE(preview([&](QtPreviewWindow& w, QDialog&) {
        EXPECT_GT(green_share_percent(dynamic_cast<QtCanvas&>(*w.canvas()).image()), 60);
    }));
}

}  // namespace
}  // namespace kt482
