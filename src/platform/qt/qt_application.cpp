#include "platform/qt/qt_application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QString>
#include <QThread>
#include <QTranslator>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "base/message_catalog.h"

namespace kt482 {
namespace {

bool env_set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// Forms name their fonts by the classic Japanese family names, which no free
// system has; the IPA fonts are metric-compatible stand-ins.
void install_font_substitutions()
{
    struct Substitution {
        const char* family;
        const char* replacement;
    };
    static constexpr Substitution kSubstitutions[] = {
        {"ＭＳ 明朝", "IPAMincho"},     {"MS Mincho", "IPAMincho"},
        {"ＭＳ ゴシック", "IPAGothic"}, {"MS Gothic", "IPAGothic"},
        {"ＭＳ Ｐ明朝", "IPAPMincho"},  {"MS PMincho", "IPAPMincho"},
        {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},
    };
    for (const auto& s : kSubstitutions)
        QFont::insertSubstitution(QString::fromUtf8(s.family), QString::fromUtf8(s.replacement));
}

// Qt aborts the process when no platform plugin starts, which is what a stale
// DISPLAY or WAYLAND_DISPLAY would do to the host. Listing offscreen last lets
// Qt fall back to it instead. A platform the host chose is left alone.
void choose_platform()
{
    if (env_set("QT_QPA_PLATFORM"))
        return;
    if (!display_available())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    else if (env_set("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland;xcb;offscreen");
    else
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
}

// The texts of Qt's printer dialogs that Qt's own translations leave in
// English, from the library's message catalog: asked after Qt's, it answers
// only for these and passes on every other text.
class CatalogTranslator final : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char* context, const char* source, const char* disambiguation = nullptr,
                      int n = -1) const override
    {
        (void)disambiguation;
        (void)n;
        static constexpr std::pair<const char*, const char*> kTexts[] = {
            {"QPrintPropertiesWidget", "Advanced"},
        };
        for (const auto& [where, text] : kTexts) {
            if (context && source && std::strcmp(context, where) == 0 && std::strcmp(source, text) == 0) {
                const char* said = kt482::translated(text);
                return said == text ? QString() : QString::fromUtf8(said);
            }
        }
        return {};
    }

    bool isEmpty() const override { return false; }
};

// Qt's own dialogs (the printer setup, the message box buttons) speak the
// user's language: Qt's translations for the locale (LANG, LC_ALL,
// LC_MESSAGES, or QLocale::setDefault before the first use), when installed,
// and the library's catalog for what they lack.
void install_qt_translations(QCoreApplication& application)
{
    // Translators installed later are asked first.
    QCoreApplication::installTranslator(new CatalogTranslator(&application));
    auto* translator = new QTranslator(&application);
    if (translator->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

// QApplication keeps references to argc and argv, so both live as long as the
// process. The object itself is deliberately never destroyed: the host may
// keep using Qt objects created through it until exit.
void create_application()
{
    static int argc = 1;
    static char name[] = "kt482";
    static char* argv[] = {name, nullptr};
    choose_platform();
    static QApplication* application = new QApplication(argc, argv);
    install_qt_translations(*application);
}

}  // namespace

bool display_available()
{
    return env_set("DISPLAY") || env_set("WAYLAND_DISPLAY");
}

void ensure_qt_application()
{
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    if (!QCoreApplication::instance())
        create_application();
    static std::once_flag fonts;
    std::call_once(fonts, install_font_substitutions);
}

bool is_qt_application_thread()
{
    ensure_qt_application();
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

Status on_qt_application_thread()
{
    if (is_qt_application_thread())
        return {};
    return Failure(ErrorNumber::InvalidCall, "Windows can only be used on the thread that runs the Qt application");
}

}  // namespace kt482
