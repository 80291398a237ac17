// The preview as the host opens it and a user works it: V_Size_Set and
// V_Preview on a recorded three-page job, the real window driven with QtTest
// on the offscreen platform, printing from it to the PDF printer.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "job/job_state.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_preview_window.h"
#include "support/fake_server.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

namespace fs = std::filesystem;
using test::ScopedEnv;
using test::TempFolder;
using C = PreviewControl;
using Steps = std::function<void(QtPreviewWindow&, QDialog&)>;

std::vector<std::string> pdf_files(const std::string& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".pdf")
            files.push_back(entry.path().string());
    return files;
}

// The lines of a failure report: "<title>: <text>".
std::vector<std::string> reports(const std::string& errors)
{
    std::vector<std::string> lines;
    std::istringstream in(errors);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("KT482_Print") || line.starts_with("印刷プレビュー"))
            lines.push_back(line);
    return lines;
}

QImage shown(QtPreviewWindow& window)
{
    return dynamic_cast<QtCanvas&>(*window.canvas()).image();
}

void click(QtPreviewWindow& window, C control)
{
    QTest::mouseClick(window.widget(control), Qt::LeftButton);
}

class PreviewEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        job_.emplace();
        job_->P_Temp_Dir(spool_.path());
        job_->E_StartEdit();
        for (int page = 1; page <= 3; ++page) {
            if (page > 1)
                job_->E_ChangePage();
            // Each page sets its grid and font: the zoom applies from them.
            job_->E_Pitch(15, 6);
            job_->E_Font("ＭＳ 明朝", 10.5f, false, 0);
            job_->E_String(2, 3, "page " + std::to_string(page));
        }
        job_->E_EndEdit();
        ASSERT_EQ(job_->P_Max_Page(), 3);
        job_->V_Size_Set(9, 1);
        ASSERT_NE(job_->P_PREVIEW(), nullptr);
    }

    void TearDown() override { set_preview_driver({}); }

    // V_Preview with the steps standing in for the user; a window the steps
    // leave open is closed, so that a failed step never hangs the test.
    // False when the window never showed.
    bool preview(const Steps& steps)
    {
        bool driven = false;
        set_preview_driver([&](QDialog& dialog) {
            driven = true;
            QtPreviewWindow* window = QtPreviewWindow::of(&dialog);
            if (window && QTest::qWaitForWindowActive(&dialog))
                steps(*window, dialog);
            else
                ADD_FAILURE() << "not the preview window, or it never became active";
            if (dialog.isVisible())
                dialog.reject();
        });
        job_->V_Preview();
        set_preview_driver({});
        return driven;
    }

    TempFolder spool_;
    TempFolder out_;
    // No print server: the PDF printer is the default.
    ScopedEnv server_{"CUPS_SERVER", spool_.path() + "/no-server.sock"};
    ScopedEnv pdf_dir_{"KT482_PDF_DIR", out_.path()};
    std::optional<KT482_Print> job_;
};

TEST_F(PreviewEndToEnd, PagingZoomScrollResizeThenPrint)
{
    if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
        GTEST_SKIP() << tool << " is not installed (poppler-utils): the PDF cannot be read back";

    testing::internal::CaptureStderr();
    const bool driven = preview([&](QtPreviewWindow& w, QDialog& dialog) {
        auto* box = qobject_cast<QLineEdit*>(w.widget(C::CUR_PAGE));
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(w.text(C::CUR_PAGE), "   1");
        EXPECT_EQ(w.text(C::LAST_PAGE), "/3");
        const QImage page1 = shown(w);

        click(w, C::NEXT);
        EXPECT_EQ(w.text(C::CUR_PAGE), "   2");
        EXPECT_TRUE(shown(w) != page1);
        click(w, C::BOTOM);
        EXPECT_EQ(w.text(C::CUR_PAGE), "   3");
        const QImage page3 = shown(w);
        click(w, C::TOP);
        EXPECT_EQ(w.text(C::CUR_PAGE), "   1");
        EXPECT_TRUE(shown(w) == page1);

        // Tabbing into the page box selects its text, so typing replaces it;
        // Enter moves on to the print button and shows the page typed.
        box->setFocus(Qt::TabFocusReason);
        QTest::keyClick(box, Qt::Key_3);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(w.focused(), C::Print);
        EXPECT_EQ(QApplication::focusWidget(), w.widget(C::Print));
        EXPECT_EQ(w.text(C::CUR_PAGE), "   3");
        EXPECT_TRUE(shown(w) == page3);

        // A full-width digit from an input method is taken by the box but is
        // no number: the message, and the focus stays in the box.
        box->setFocus(Qt::TabFocusReason);
        QInputMethodEvent typed;
        typed.setCommitString(QString::fromUtf8("３"));
        QApplication::sendEvent(box, &typed);
        EXPECT_EQ(w.text(C::CUR_PAGE), "３");
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(w.focused(), C::CUR_PAGE);
        EXPECT_TRUE(shown(w) == page3);

        // The zoom list opened from its arrow; the list ignores a release too
        // soon after it opened.
        auto* zoom = qobject_cast<QComboBox*>(w.widget(C::ZOOM));
        ASSERT_NE(zoom, nullptr);
        QTest::mouseClick(zoom, Qt::LeftButton, {}, QPoint(zoom->width() - 4, zoom->height() / 2));
        QAbstractItemView* list = zoom->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        const int item = zoom->findText("150");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(item, 0)).center());
        EXPECT_EQ(w.text(C::ZOOM), "150");
        EXPECT_FLOAT_EQ(job_->P_Bairitu(), 1.5f);
        EXPECT_EQ(w.focused(), C::Print);
        EXPECT_TRUE(shown(w) != page3);

        qobject_cast<QScrollBar*>(w.widget(C::VSCROL))->setValue(50);
        EXPECT_GT(job().ScrollY, 0);

        // Dragged smaller than the minimum, the window snaps back to it.
        dialog.resize(120, 40);
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.outer_width() == 5500 && w.outer_height() == 2000; }, 2000))
            << w.outer_width() << " x " << w.outer_height();
        EXPECT_EQ(dialog.size(), QSize(367, 133));

        click(w, C::Print);
        EXPECT_FALSE(dialog.isVisible());
    });
    const std::string errors = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(driven);
    EXPECT_EQ(reports(errors), std::vector<std::string>{"印刷プレビュー: 数値を入力して下さい。"}) << errors;
    EXPECT_EQ(job_->P_PREVIEW(), nullptr);

    const auto files = pdf_files(out_.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(test::pdf_page_sizes(files[0]).size(), 3u);
    const auto texts = test::pdf_page_texts(files[0]);
    ASSERT_EQ(texts.size(), 3u);
    for (int page = 1; page <= 3; ++page)
        EXPECT_NE(texts[page - 1].find("page " + std::to_string(page)), std::string::npos) << texts[page - 1];
}

TEST_F(PreviewEndToEnd, CloseButtonEndsThePreviewWithoutPrinting)
{
    const bool driven = preview([](QtPreviewWindow& w, QDialog& dialog) {
        click(w, C::Close);
        EXPECT_FALSE(dialog.isVisible());
    });
    ASSERT_TRUE(driven);
    EXPECT_EQ(job_->P_PREVIEW(), nullptr);
    EXPECT_TRUE(pdf_files(out_.path()).empty());
}

TEST_F(PreviewEndToEnd, WithoutADisplayReportsAtOnce)
{
    ScopedEnv display("DISPLAY", std::nullopt);
    ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    job_->V_Preview();
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_LT(took, std::chrono::seconds(1));
    const auto lines = reports(errors);
    ASSERT_EQ(lines.size(), 1u) << errors;
    EXPECT_TRUE(lines[0].starts_with("KT482_Print : V_Preview: The preview needs a display")) << lines[0];
}

}  // namespace
}  // namespace kt482
