// Showing the preview window: its modal loop, where it opens, and the
// stand-in user that tests set.
#include <QApplication>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <functional>

#include "platform/qt/qt_application.h"
#include "platform/qt/qt_preview_widgets.h"

namespace kt482 {
namespace {

std::function<void(QDialog&)>& previewDriver()
{
    static std::function<void(QDialog&)> driver;
    return driver;
}

// A window on the offscreen or minimal platform, or without any display,
// would wait for a user who cannot see it.
Status visibleToUser()
{
    if (!display_available())
        return Failure(ErrorNumber::InvalidCall,
                       "The preview needs a display: neither DISPLAY nor WAYLAND_DISPLAY is set");
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return Failure(ErrorNumber::InvalidCall, "The preview needs a display: Qt runs on its " +
                                                     platform.toStdString() + " platform, where nobody sees a window");
    return {};
}

}  // namespace

Status QtPreviewWindow::show_modal()
{
    if (Status here = on_qt_application_thread(); !here)
        return here;
    if (dialog_->isVisible())
        return Failure(ErrorNumber::InvalidCall, "The preview window is already shown");
    // A copy: the driver may remove itself while it runs.
    const std::function<void(QDialog&)> driver = previewDriver();
    if (!driver) {
        if (Status visible = visibleToUser(); !visible)
            return visible;
    } else {
        QTimer::singleShot(0, dialog_.get(), [driver, dialog = dialog_.get()] { driver(*dialog); });
    }
    placeForShowing();
    dialog_->exec();
    return {};
}

// Centred over the host's window, or on the screen, and kept within the
// screen's available area.
void QtPreviewWindow::placeForShowing()
{
    QWidget* host = QApplication::activeWindow();
    if (host == dialog_.get())
        host = nullptr;
    QScreen* screen = host ? host->screen() : dialog_->screen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QPoint centre = host ? host->frameGeometry().center() : area.center();
    QRect placed(QPoint(0, 0), dialog_->size());
    placed.moveCenter(centre);
    placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() - placed.width())));
    placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() - placed.height())));
    dialog_->move(placed.topLeft());
}

void set_preview_driver(std::function<void(QDialog&)> driver)
{
    previewDriver() = std::move(driver);
}

}  // namespace kt482
