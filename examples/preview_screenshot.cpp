// Pictures of the preview for the documentation: records the sample invoice,
// opens its preview on A4 portrait and, standing in for the user, saves the
// window as it shows the first page, then again after the zoom was set to
// 150 %, and closes it.
//
//   kt482_preview_screenshot FOLDER    writes preview-page1.png and
//                                      preview-zoom150.png into FOLDER
//
// It needs a display (scripts/screenshot starts a virtual one).

#include <QComboBox>
#include <QDialog>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "kt482/kt482.h"
#include "platform/qt/qt_preview_window.h"
#include "sample_invoice.h"

namespace {

using kt482::PreviewControl;
using kt482::QtPreviewWindow;

// Time for the window to be mapped and painted before it is photographed.
constexpr int kSettleMs = 300;
// A window large enough to show most of the page: 820 × 940 pixels.
constexpr int kOuterWidthTwips = 12300;
constexpr int kOuterHeightTwips = 14100;

bool save(QDialog& dialog, const std::filesystem::path& file)
{
    const bool saved = dialog.grab().save(QString::fromStdString(file.string()), "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.c_str());
    return saved;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::error_code error;
    std::filesystem::create_directories(out, error);

    const std::filesystem::path spool = std::filesystem::temp_directory_path() / "kt482-preview-screenshot";
    std::filesystem::create_directories(spool, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", spool.c_str(), error.message().c_str());
        return 1;
    }

    kt482::KT482_Print job;
    job.P_Temp_Dir(spool.string());
    record_sample_invoice(job);

    bool ok = true;
    bool driven = false;
    kt482::set_preview_driver([&](QDialog& dialog) {
        driven = true;
        QtPreviewWindow* window = QtPreviewWindow::of(&dialog);
        if (!window) {
            ok = false;
            dialog.reject();
            return;
        }
        window->set_outer_width(kOuterWidthTwips);
        window->set_outer_height(kOuterHeightTwips);
        QTimer::singleShot(kSettleMs, &dialog, [&dialog, window, &ok, out] {
            ok = save(dialog, out / "preview-page1.png") && ok;
            // As a user would: into the zoom box, type, and leave it.
            window->set_focus(PreviewControl::ZOOM);
            window->set_text(PreviewControl::ZOOM, "150");
            window->set_focus(PreviewControl::Print);
            QTimer::singleShot(kSettleMs, &dialog, [&dialog, window, &ok, out] {
                ok = save(dialog, out / "preview-zoom150.png") && ok;
                static_cast<QPushButton*>(window->widget(PreviewControl::Close))->click();
            });
        });
    });

    job.V_Size_Set(9, 1);  // A4, portrait
    job.V_Preview();
    kt482::set_preview_driver({});
    job.E_Clear();

    if (!driven) {
        std::fprintf(stderr, "the preview did not open\n");
        return 1;
    }
    return ok ? 0 : 1;
}
