#include "platform/qt/qt_preview_widgets.h"

#include <QString>

namespace kt482::preview_window {

std::vector<int> keyCodes(const QKeyEvent& event)
{
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        return {kKeyEnter};
    std::vector<int> codes;
    for (char32_t c : event.text().toUcs4())
        codes.push_back(static_cast<int>(c));
    return codes;
}

std::vector<int> committedCodes(const QInputMethodEvent& event)
{
    std::vector<int> codes;
    for (char32_t c : event.commitString().toUcs4())
        codes.push_back(static_cast<int>(c));
    return codes;
}

}  // namespace kt482::preview_window
