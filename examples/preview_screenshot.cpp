// Pictures of the preview for the documentation: records the sample invoice,
// opens its preview on A4 portrait and, standing in for the user, saves the
// window at the size it opens with as it shows the first page, then again
// after the zoom was set to 150 %, then with the canvas's context menu open,
// and closes it.
//
//   kt482_preview_screenshot FOLDER    writes preview-page1.png,
//                                      preview-zoom150.png and
//                                      preview-menu.png into FOLDER
//
// It needs a display (scripts/screenshot starts a virtual one).

#include <QComboBox>
#include <QDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QPixmap>
#include <QScreen>
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

bool save(const QPixmap& picture, const std::filesystem::path& file)
{
    const bool saved = picture.save(QString::fromStdString(file.string()), "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "could not write", file.c_str());
    return saved;
}

bool save(QDialog& dialog, const std::filesystem::path& file)
{
    return save(dialog.grab(), file);
}

// The screen where the window is, with the menus over it: a menu is a window
// of its own, which a picture of the dialog leaves out.
bool saveScreenArea(QDialog& dialog, const std::filesystem::path& file)
{
    QScreen* screen = dialog.screen();
    const QRect area = dialog.geometry();
    return save(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()), file);
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
        QTimer::singleShot(kSettleMs, &dialog, [&dialog, window, &ok, out] {
            ok = save(dialog, out / "preview-page1.png") && ok;
            // As a user would: into the zoom box, type, and leave it.
            window->set_focus(PreviewControl::ZOOM);
            window->set_text(PreviewControl::ZOOM, "150");
            window->set_focus(PreviewControl::Print);
            QTimer::singleShot(kSettleMs, &dialog, [&dialog, window, &ok, out] {
                ok = save(dialog, out / "preview-zoom150.png") && ok;
                QWidget* canvas = window->widget(PreviewControl::DATA);
                window->contextMenu()->popup(canvas->mapToGlobal(QPoint(160, 120)));
                QTimer::singleShot(kSettleMs, &dialog, [&dialog, window, &ok, out] {
                    ok = saveScreenArea(dialog, out / "preview-menu.png") && ok;
                    window->contextMenu()->close();
                    static_cast<QPushButton*>(window->widget(PreviewControl::Close))->click();
                });
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
