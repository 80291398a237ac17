// A filled form in the preview: the page numbers "n / N" were written when
// the pages were recorded, so a page previewed alone, or from the middle of
// a range, shows the same pixels as in the whole document, and saving the
// preview as a PDF file keeps "2 / 3" on page 2.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <optional>
#include <string>
#include <vector>

#include "kt482/form.h"
#include "kt482/kt482.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_preview_window.h"
#include "support/fake_server.h"
#include "support/file_dialog_answer.h"
#include "support/poppler.h"
#include "support/scoped_env.h"

namespace kt482 {
namespace {

using test::ScopedEnv;
using test::TempFolder;
using C = PreviewControl;

// Ten rows of four a page: three pages, numbered on each.
constexpr const char* kTemplate = R"({
  "every_page": [{"type": "text", "row": 1, "col": 2, "text": "Page {page} / {pages}"}],
  "list": {"data": "rows", "first_row": 3, "rows_per_page": 4,
           "row": [{"type": "text", "row": 0, "col": 2, "field": "name"}]}})";

struct Range {
    const char* name;
    int16_t first, last;
};

class FormPreview : public testing::TestWithParam<Range> {
protected:
    void SetUp() override
    {
        if (const std::string tool = test::missing_poppler_tool(); !tool.empty())
            GTEST_SKIP() << tool << " is not installed (poppler-utils)";
        ASSERT_EQ(form_.LoadText(kTemplate), "");
        std::string rows;
        for (int i = 0; i < 10; ++i)
            rows += std::string(i ? "," : "") + "{\"name\": \"line " + std::to_string(i + 1) + "\"}";
        ASSERT_EQ(form_.SetData("{\"rows\": [" + rows + "]}"), "");
        job_.emplace();
        job_->P_Temp_Dir(spool_.path());
        ASSERT_EQ(form_.Fill(*job_), "");
        ASSERT_EQ(form_.Pages(), 3);
    }
    void TearDown() override { set_preview_driver({}); }

    // Previews first to last, runs steps on the window, then closes it.
    void preview(int16_t first, int16_t last, const std::function<void(QtPreviewWindow&)>& steps)
    {
        // The window is made again for each preview: closing it ends it.
        job_->V_Size_Set(form_.PaperSize(), form_.Orientation());
        ASSERT_NE(job_->P_PREVIEW(), nullptr) << job_->LastFailure().description;
        bool driven = false;
        set_preview_driver([&](QDialog& dialog) {
            QtPreviewWindow* window = QtPreviewWindow::of(&dialog);
            driven = window && QTest::qWaitForWindowActive(&dialog);
            if (driven)
                steps(*window);
            if (dialog.isVisible())
                dialog.reject();
        });
        job_->V_Preview(first, last);
        set_preview_driver({});
        EXPECT_TRUE(driven) << "the preview window never showed";
    }

    static QImage shown(QtPreviewWindow& w) { return dynamic_cast<QtCanvas&>(*w.canvas()).image(); }

    Form form_;
    TempFolder spool_, out_;
    ScopedEnv server_{"CUPS_SERVER", spool_.path() + "/no-server.sock"};
    ScopedEnv pdf_dir_{"KT482_PDF_DIR", out_.path()};
    std::optional<KT482_Print> job_;
};

TEST_P(FormPreview, APageShowsItsNumberOfTheWholeDocument)
{
    const Range& range = GetParam();
    // Each page as the whole document's preview shows it.
    std::vector<QImage> whole;
    preview(1, 3, [&](QtPreviewWindow& w) {
        for (int page = 1; page <= 3; ++page) {
            if (page > 1)
                QTest::mouseClick(w.widget(C::NEXT), Qt::LeftButton);
            whole.push_back(shown(w));
        }
    });
    ASSERT_EQ(whole.size(), 3u);
    ASSERT_FALSE(whole[0] == whole[1]) << "pages that differ show different pixels";
    const std::string saved = out_.path() + "/preview-" + range.name + ".pdf";
    preview(range.first, range.last, [&](QtPreviewWindow& w) {
        for (int page = range.first; page <= range.last; ++page) {
            SCOPED_TRACE("page " + std::to_string(page));
            if (page > range.first)
                QTest::mouseClick(w.widget(C::NEXT), Qt::LeftButton);
            EXPECT_EQ(w.text(C::CUR_PAGE), QString("%1").arg(page, 4).toStdString());
            EXPECT_EQ(w.text(C::LAST_PAGE), "/" + std::to_string(range.last));
            EXPECT_TRUE(shown(w) == whole[static_cast<std::size_t>(page - 1)]) << "the same pixels as in the whole";
        }
        test::answer_file_dialog(QString::fromStdString(saved));
        for (QAction* action : w.contextMenu()->actions())
            if (action->text() == QString::fromUtf8("PDFに保存…"))
                action->trigger();
    });
    const auto texts = test::pdf_page_texts(saved);
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(range.last - range.first + 1));
    for (int page = range.first; page <= range.last; ++page)
        EXPECT_NE(texts[static_cast<std::size_t>(page - range.first)].find("Page " + std::to_string(page) + " / 3"),
                  std::string::npos)
            << texts[static_cast<std::size_t>(page - range.first)];
}

INSTANTIATE_TEST_SUITE_P(Ranges, FormPreview,
                         testing::Values(Range{"whole", 1, 3}, Range{"second_alone", 2, 2}, Range{"last_two", 2, 3}),
                         [](const testing::TestParamInfo<Range>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kt482
