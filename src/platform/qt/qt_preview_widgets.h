// The preview window's widgets: the dialog itself, the page box and the zoom
// box, which pass keys to the window's handlers, and the event filters on
// its scroll bars and zoom list.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QObject>
#include <QPoint>
#include <QResizeEvent>
#include <QWheelEvent>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/qt/qt_preview_window.h"

namespace kt482 {
namespace preview_window {

// Keeps the keys a control uses itself from the window's shortcuts while it
// has the focus: a scroll bar's arrows and page keys, the zoom list's.
class KeepsKeys final : public QObject {
public:
    KeepsKeys(std::initializer_list<int> keys, QObject* parent) : QObject(parent), keys_(keys) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() == Qt::NoModifier
                && std::find(keys_.begin(), keys_.end(), key->key()) != keys_.end()) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::vector<int> keys_;
};

// Turns the wheel over a scroll bar into a turn over the canvas, so that a
// notch moves the page a few lines rather than a step of the bar's 0 to 100;
// over the horizontal bar it moves across.
class WheelToCanvas final : public QObject {
public:
    WheelToCanvas(bool across, std::function<void(QPoint, bool)> wheel, QObject* parent)
        : QObject(parent), across_(across), wheel_(std::move(wheel))
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Wheel)
            return QObject::eventFilter(watched, event);
        auto* turn = static_cast<QWheelEvent*>(event);
        QPoint delta = turn->angleDelta();
        if (across_ && delta.x() == 0)
            delta = QPoint(delta.y(), 0);
        wheel_(delta, false);
        event->accept();
        return true;
    }

private:
    bool across_;
    std::function<void(QPoint, bool)> wheel_;
};

// The codes a KeyPress handler gets for a key: 13 for Enter, otherwise one
// per character the key types; none for keys that type nothing (arrows,
// function keys).
std::vector<int> keyCodes(const QKeyEvent& event);

// The codes of the characters an input method commits.
std::vector<int> committedCodes(const QInputMethodEvent& event);

}  // namespace preview_window

// Enter belongs to the controls: QDialog would click a default button on
// Enter. Escape is the window's shortcut for its Close command; QDialog's
// own Escape would close the window without it.
class QtPreviewWindow::Dialog final : public QDialog {
public:
    explicit Dialog(QtPreviewWindow& owner)
        : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                               | Qt::WindowCloseButtonHint),
          owner_(owner)
    {
    }

    QtPreviewWindow& owner() const { return owner_; }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QDialog::resizeEvent(event);
        owner_.dialogResized(event->size());
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
        }
    }

private:
    QtPreviewWindow& owner_;
};

// The page box: every key reaches the box after the KeyPress handler has
// seen it, as do characters from an input method.
class QtPreviewWindow::PageBox final : public QLineEdit {
public:
    PageBox(QtPreviewWindow& owner, QWidget* parent) : QLineEdit(parent), owner_(owner) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        for (int code : preview_window::keyCodes(*event))
            owner_.events_.CUR_PAGE_KeyPress(code);
        QLineEdit::keyPressEvent(event);
    }

    void inputMethodEvent(QInputMethodEvent* event) override
    {
        for (int code : preview_window::committedCodes(*event))
            owner_.events_.CUR_PAGE_KeyPress(code);
        QLineEdit::inputMethodEvent(event);
    }

    // The click that brings the focus would place the cursor and drop the
    // selection the got-focus handler made; the box is full, so typing
    // would then change nothing. Keep that selection for the first click.
    void focusInEvent(QFocusEvent* event) override
    {
        QLineEdit::focusInEvent(event);
        keepSelectionOnNextPress_ = event->reason() == Qt::MouseFocusReason;
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (!keepSelectionOnNextPress_) {
            QLineEdit::mousePressEvent(event);
            return;
        }
        keepSelectionOnNextPress_ = false;
        const int start = selectionStart();
        const int length = selectedText().size();
        QLineEdit::mousePressEvent(event);
        if (start >= 0)
            setSelection(start, length);
    }

private:
    QtPreviewWindow& owner_;
    bool keepSelectionOnNextPress_ = false;
};

// The zoom box. The combo box, not its line edit, has the focus and gets the
// keys, which it passes on to the line edit.
class QtPreviewWindow::ZoomBox final : public QComboBox {
public:
    ZoomBox(QtPreviewWindow& owner, QWidget* parent) : QComboBox(parent), owner_(owner) {}

protected:

    void keyPressEvent(QKeyEvent* event) override
    {
        for (int code : preview_window::keyCodes(*event))
            owner_.events_.ZOOM_KeyPress(code);
        QComboBox::keyPressEvent(event);
    }

    void inputMethodEvent(QInputMethodEvent* event) override
    {
        for (int code : preview_window::committedCodes(*event))
            owner_.events_.ZOOM_KeyPress(code);
        QComboBox::inputMethodEvent(event);
    }

private:
    QtPreviewWindow& owner_;
};

}  // namespace kt482
