// The Qt application object the adapters need for widgets, fonts and
// printers, whether or not the host program runs Qt itself.
#pragma once

#include "kt482/failure.h"

namespace kt482 {

// Makes sure a QCoreApplication exists: a host's own application object is
// used as it is; otherwise a QApplication is created once and kept for the
// life of the process. Unless QT_QPA_PLATFORM says otherwise, it runs on Qt's
// offscreen platform without a display (neither DISPLAY nor WAYLAND_DISPLAY
// set), and falls back to it when the display named cannot be reached. The
// application created here loads Qt's translations for the user's locale, so
// the setup dialog speaks Japanese under LANG=ja_JP.UTF-8. Also
// installs, once, the substitutions that map the classic Japanese form fonts
// to the IPA fonts installed here.
void ensure_qt_application();

// True when DISPLAY or WAYLAND_DISPLAY names a display (set and not empty).
bool display_available();

// Widgets live on the thread that runs the Qt application: windows and
// dialogs are refused (InvalidCall) on any other thread. Makes sure the
// application exists first, so the first caller's thread becomes its own.
Status on_qt_application_thread();
bool is_qt_application_thread();

}  // namespace kt482
