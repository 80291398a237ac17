#include "platform/qt/qt_message_box.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <string>

#include "platform/qt/qt_application.h"

namespace kt482 {
namespace {

// Written and flushed at once so the line is not lost if the host ends
// abruptly after a failure.
int report_on_stderr(std::string_view text, std::string_view title)
{
    std::string line;
    line.reserve(title.size() + text.size() + 3);
    line.append(title).append(": ").append(text).append("\n");
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return kMessageResultOk;
}

QString from_utf8(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A box on the offscreen or minimal platform would wait for a click nobody can
// make, so only a widget application on a real screen shows one.
bool can_show_widgets()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return false;
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

class QtMessageBox final : public MessageBox {
public:
    // Every box has one OK button; the buttons value gives its icon.
    int show(std::string_view text, int buttons, std::string_view title) override
    {
        if (!display_available())
            return report_on_stderr(text, title);
        ensure_qt_application();
        // A box off the application's thread would be a widget there: the
        // report goes to standard error instead.
        if (!can_show_widgets() || !is_qt_application_thread())
            return report_on_stderr(text, title);
        QMessageBox box(messageBoxIcon(buttons), from_utf8(title), from_utf8(text), QMessageBox::Ok);
        box.exec();
        return kMessageResultOk;
    }
};

}  // namespace

QMessageBox::Icon messageBoxIcon(int buttons)
{
    switch (buttons & 0x70) {
    case 16:
        return QMessageBox::Critical;
    case 32:
        return QMessageBox::Question;
    case 48:
        return QMessageBox::Warning;
    case 64:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

std::unique_ptr<MessageBox> make_qt_message_box()
{
    return std::make_unique<QtMessageBox>();
}

}  // namespace kt482
