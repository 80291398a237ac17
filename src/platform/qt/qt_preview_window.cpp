#include "platform/qt/qt_preview_window.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDialog>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <QFont>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/zoom_steps.h"
#include "platform/qt/qt_application.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_preview_layout.h"
#include "platform/qt/qt_preview_widgets.h"

namespace kt482 {

using namespace preview_window;

namespace {

// How often Form_Resize runs in a row when it keeps changing the size: the
// minimum width, then the minimum height, then the layout take three; more
// means a handler that would never settle.
constexpr int kMaxResizeRounds = 8;

struct Shortcut {
    QKeySequence keys;
    PreviewCommand command;
};

QString fromUtf8(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

QtPreviewWindow::QtPreviewWindow(PreviewWindowEvents& events) : events_(events)
{
    ensure_qt_application();
    dialog_ = std::make_unique<Dialog>(*this);
    dialog_->setWindowTitle(QStringLiteral("Preview"));
    dialog_->setModal(true);
    QFont font(QString::fromUtf8("ＭＳ ゴシック"));
    font.setPixelSize(kControlFontPixels);
    dialog_->setFont(font);

    outerWidth_ = kInitialWidthTwips;
    outerHeight_ = kInitialHeightTwips;
    dialog_->resize(pixelSize(outerWidth_, outerHeight_));

    createControls();
    createShortcuts();
    createContextMenu();

    focusConnection_ = QObject::connect(qApp, &QApplication::focusChanged, dialog_.get(),
                                        [this](QWidget*, QWidget* now) { focusChanged(now); });
}

QtPreviewWindow::~QtPreviewWindow()
{
    // Destroying the controls moves Qt's focus, which must not reach the
    // handlers any more.
    QObject::disconnect(focusConnection_);
    set_busy(false);
    dialog_.reset();
}

void QtPreviewWindow::createControls()
{
    QWidget* parent = dialog_.get();
    const QPalette palette = dialog_->palette();
    for (const ControlLayout& layout : kControls) {
        const QString text = QString::fromUtf8(layout.text);
        QWidget* widget = nullptr;
        switch (layout.control) {
        case PreviewControl::CUR_PAGE: {
            auto* box = new PageBox(*this, parent);
            box->setMaxLength(4);
            box->setText(text);
            widget = box;
            break;
        }
        case PreviewControl::VSCROL:
        case PreviewControl::HSCROL: {
            const bool vertical = layout.control == PreviewControl::VSCROL;
            auto* bar = new QScrollBar(vertical ? Qt::Vertical : Qt::Horizontal, parent);
            // Change follows the thumb when it is let go, not while dragged.
            bar->setTracking(false);
            bar->setFocusPolicy(Qt::StrongFocus);
            bar->installEventFilter(new KeepsKeys({Qt::Key_Up, Qt::Key_Down, Qt::Key_Left, Qt::Key_Right,
                                                   Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End},
                                                  bar));
            bar->installEventFilter(new WheelToCanvas(
                !vertical, [this](QPoint delta, bool) { events_.DATA_Wheel(delta.x(), delta.y(), false); }, bar));
            QObject::connect(bar, &QScrollBar::valueChanged, parent, [this, vertical] {
                if (vertical)
                    events_.VSCROL_Change();
                else
                    events_.HSCROL_Change();
            });
            widget = bar;
            break;
        }
        case PreviewControl::DATA: {
            canvas_ = std::make_shared<QtCanvas>(layout.rect.width, layout.rect.height, dialog_->devicePixelRatioF(),
                                                 palette.color(QPalette::Window),
                                                 palette.color(QPalette::WindowText));
            canvasWidget_ = new QtCanvasWidget(canvas_, parent);
            canvasWidget_->setFocusPolicy(Qt::StrongFocus);
            canvasWidget_->onExtentChanged = [this] { place(PreviewControl::DATA); };
            canvasWidget_->onWheel = [this](QPoint delta, bool zoom) {
                events_.DATA_Wheel(delta.x(), delta.y(), zoom);
            };
            widget = canvasWidget_;
            break;
        }
        case PreviewControl::ZOOM: {
            auto* combo = new ZoomBox(*this, parent);
            combo->setEditable(true);
            // Neither complete what is typed nor add it to the list on Enter.
            combo->setCompleter(nullptr);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->installEventFilter(
                new KeepsKeys({Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown}, combo));
            for (int step : kZoomSteps)
                combo->addItem(QString::number(step));
            combo->setCurrentIndex(combo->findText(text));
            combo->setEditText(text);
            QObject::connect(combo, &QComboBox::activated, parent, [this] { events_.ZOOM_Click(); });
            combo->setToolTip(QString::fromUtf8("印刷倍率：印刷される大きさ"));
            widget = combo;
            break;
        }
        case PreviewControl::LAST_PAGE:
        case PreviewControl::Label3:
        case PreviewControl::VIEW: {
            auto* label = new QLabel(text, parent);
            label->setTextFormat(Qt::PlainText);
            if (layout.control == PreviewControl::VIEW)
                label->setToolTip(QString::fromUtf8("画面の表示倍率：印刷には影響しません"));
            widget = label;
            break;
        }
        default: {
            auto* button = new QPushButton(text, parent);
            button->setAutoDefault(false);
            const PreviewControl control = layout.control;
            QObject::connect(button, &QPushButton::clicked, parent, [this, control] {
                switch (control) {
                case PreviewControl::TOP: events_.TOP_Click(); break;
                case PreviewControl::PREV: events_.PREV_Click(); break;
                case PreviewControl::NEXT: events_.NEXT_Click(); break;
                case PreviewControl::BOTOM: events_.BOTOM_Click(); break;
                case PreviewControl::Print: events_.Print_Click(); break;
                case PreviewControl::Close: events_.Close_Click(); break;
                case PreviewControl::Settings: events_.Settings_Click(); break;
                default: break;
                }
            });
            widget = button;
            break;
        }
        }
        widgets_[index(layout.control)] = widget;
        rects_[index(layout.control)] = layout.rect;
        place(layout.control);
    }
    // The page stays behind every control it may grow under.
    canvasWidget_->lower();

    std::vector<const ControlLayout*> tabbed;
    for (const ControlLayout& layout : kControls)
        if (layout.tabIndex >= 0)
            tabbed.push_back(&layout);
    std::sort(tabbed.begin(), tabbed.end(),
              [](const ControlLayout* a, const ControlLayout* b) { return a->tabIndex < b->tabIndex; });
    for (size_t i = 1; i < tabbed.size(); ++i)
        QWidget::setTabOrder(widget(tabbed[i - 1]->control), widget(tabbed[i]->control));
    // The first control in the tab order has the focus when the window opens.
    focused_ = tabbed.front()->control;
    widget(focused_)->setFocus(Qt::OtherFocusReason);
}

void QtPreviewWindow::createShortcuts()
{
    const Shortcut shortcuts[] = {
        {QKeySequence(Qt::Key_PageDown), PreviewCommand::NextPage},
        {QKeySequence(Qt::Key_PageUp), PreviewCommand::PreviousPage},
        {QKeySequence(Qt::CTRL | Qt::Key_Home), PreviewCommand::FirstPage},
        {QKeySequence(Qt::CTRL | Qt::Key_End), PreviewCommand::LastPage},
        {QKeySequence(Qt::Key_Up), PreviewCommand::ScrollUp},
        {QKeySequence(Qt::Key_Down), PreviewCommand::ScrollDown},
        {QKeySequence(Qt::Key_Left), PreviewCommand::ScrollLeft},
        {QKeySequence(Qt::Key_Right), PreviewCommand::ScrollRight},
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), PreviewCommand::ZoomIn},
        // Where + needs Shift, Ctrl and the key under it.
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), PreviewCommand::ZoomIn},
        {QKeySequence(Qt::CTRL | Qt::Key_Minus), PreviewCommand::ZoomOut},
        {QKeySequence(Qt::CTRL | Qt::Key_0), PreviewCommand::ActualSize},
        {QKeySequence(Qt::CTRL | Qt::Key_P), PreviewCommand::Print},
        {QKeySequence(Qt::Key_Escape), PreviewCommand::Close},
    };
    for (const Shortcut& shortcut : shortcuts) {
        auto* made = new QShortcut(shortcut.keys, dialog_.get());
        made->setContext(Qt::WindowShortcut);
        const PreviewCommand command = shortcut.command;
        QObject::connect(made, &QShortcut::activated, dialog_.get(), [this, command] { events_.Command(command); });
    }
}

void QtPreviewWindow::createContextMenu()
{
    menu_ = new QMenu(dialog_.get());
    const std::pair<const char*, PreviewCommand> entries[] = {
        {"幅に合わせる", PreviewCommand::FitWidth},
        {"ページ全体", PreviewCommand::FitPage},
        {"PDFに保存…", PreviewCommand::SaveAsPdf},
    };
    for (const auto& [text, command] : entries) {
        QAction* action = menu_->addAction(QString::fromUtf8(text));
        if (command == PreviewCommand::SaveAsPdf)
            menu_->insertSeparator(action);
        const PreviewCommand chosen = command;
        QObject::connect(action, &QAction::triggered, dialog_.get(), [this, chosen] { events_.Command(chosen); });
    }
    canvasWidget_->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(canvasWidget_, &QWidget::customContextMenuRequested, dialog_.get(),
                     [this](const QPoint& at) { menu_->popup(canvasWidget_->mapToGlobal(at)); });
}

void QtPreviewWindow::load()
{
    loading_ = true;
    events_.Attach(*this);
    events_.Form_Load();
    loading_ = false;
    resizePending_ = false;
    resized();
}

ControlRect QtPreviewWindow::geometry(PreviewControl control) const
{
    ControlRect rect = rects_[index(control)];
    if (control == PreviewControl::DATA) {
        const double scale = canvas_->ViewScale();
        rect.width = static_cast<float>(canvas_->ScaleWidth() * scale);
        rect.height = static_cast<float>(canvas_->ScaleHeight() * scale);
    }
    return rect;
}

// Edges rather than sizes are rounded, so that controls whose edges meet in
// points meet in pixels.
void QtPreviewWindow::place(PreviewControl control)
{
    const ControlRect r = geometry(control);
    const int left = pixels(r.left);
    const int top = pixels(r.top);
    const int right = pixels(double(r.left) + std::max(r.width, 0.0f));
    const int bottom = pixels(double(r.top) + std::max(r.height, 0.0f));
    widget(control)->setGeometry(left, top, right - left, bottom - top);
}

void QtPreviewWindow::set_left(PreviewControl control, float points)
{
    rects_[index(control)].left = points;
    place(control);
}

void QtPreviewWindow::set_top(PreviewControl control, float points)
{
    rects_[index(control)].top = points;
    place(control);
}

// The canvas's extent is the canvas control's size, in the canvas's own
// points, which the view scale enlarges; the canvas re-places its widget when
// it changes.
void QtPreviewWindow::set_width(PreviewControl control, float points)
{
    if (control == PreviewControl::DATA)
        (void)canvas_->ScaleWidth(static_cast<float>(points / canvas_->ViewScale()));
    else
        rects_[index(control)].width = points;
    place(control);
}

void QtPreviewWindow::set_height(PreviewControl control, float points)
{
    if (control == PreviewControl::DATA)
        (void)canvas_->ScaleHeight(static_cast<float>(points / canvas_->ViewScale()));
    else
        rects_[index(control)].height = points;
    place(control);
}

void QtPreviewWindow::set_outer_width(int twips)
{
    setOuterSize(twips, outerHeight_);
}

void QtPreviewWindow::set_outer_height(int twips)
{
    setOuterSize(outerWidth_, twips);
}

void QtPreviewWindow::setOuterSize(int widthTwips, int heightTwips)
{
    if (widthTwips == outerWidth_ && heightTwips == outerHeight_)
        return;
    outerWidth_ = widthTwips;
    outerHeight_ = heightTwips;
    const QSize wanted = pixelSize(widthTwips, heightTwips);
    applyingSize_ = true;
    dialog_->resize(wanted);
    applyingSize_ = false;
    // Qt keeps a window within its limits; what it made of the size is the
    // size.
    const QSize got = dialog_->size();
    if (got.width() != wanted.width())
        outerWidth_ = outerWidthTwips(got.width());
    if (got.height() != wanted.height())
        outerHeight_ = outerHeightTwips(got.height());
    resized();
}

// A size the dialog got from elsewhere: the user, the window manager, or
// the resize Qt delivers on showing a window resized while hidden (which
// has nothing new to tell).
void QtPreviewWindow::dialogResized(const QSize& size)
{
    if (applyingSize_)
        return;
    const QSize known = pixelSize(outerWidth_, outerHeight_);
    if (size == known)
        return;
    if (size.width() != known.width())
        outerWidth_ = outerWidthTwips(size.width());
    if (size.height() != known.height())
        outerHeight_ = outerHeightTwips(size.height());
    resized();
}

void QtPreviewWindow::resized()
{
    if (loading_ || inResize_) {
        resizePending_ = true;
        return;
    }
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(inResize_);
    for (int round = 0; round < kMaxResizeRounds; ++round) {
        resizePending_ = false;
        events_.Form_Resize();
        if (!resizePending_)
            break;
    }
    resizePending_ = false;
}

std::string QtPreviewWindow::text(PreviewControl control) const
{
    QString text;
    QWidget* w = widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        text = edit->text();
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        text = combo->currentText();
    else if (auto* label = qobject_cast<QLabel*>(w))
        text = label->text();
    else if (auto* button = qobject_cast<QPushButton*>(w))
        text = button->text();
    return text.toStdString();
}

void QtPreviewWindow::set_text(PreviewControl control, const std::string& text)
{
    const QString s = fromUtf8(text);
    QWidget* w = widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(s);
    else if (auto* combo = qobject_cast<QComboBox*>(w))
        combo->setEditText(s);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(s);
    else if (auto* button = qobject_cast<QPushButton*>(w))
        button->setText(s);
}

void QtPreviewWindow::select_text(PreviewControl control, int start, int length)
{
    QWidget* w = widget(control);
    QLineEdit* edit = qobject_cast<QLineEdit*>(w);
    if (auto* combo = qobject_cast<QComboBox*>(w))
        edit = combo->lineEdit();
    if (edit)
        edit->setSelection(start, length);
}

void QtPreviewWindow::set_focus(PreviewControl control)
{
    QWidget* w = widget(control);
    if (w->focusPolicy() == Qt::NoFocus)
        return;
    if (focused_ != control)
        moveFocus(control);
    // A lost-focus handler may have sent the focus elsewhere; that wins.
    if (focused_ == control)
        w->setFocus(Qt::OtherFocusReason);
}

void QtPreviewWindow::moveFocus(PreviewControl target)
{
    const PreviewControl left = focused_;
    focused_ = target;
    if (left == PreviewControl::CUR_PAGE)
        events_.CUR_PAGE_LostFocus();
    else if (left == PreviewControl::ZOOM)
        events_.ZOOM_LostFocus();
    if (focused_ == target && target == PreviewControl::CUR_PAGE)
        events_.CUR_PAGE_GotFocus();
}

// Qt reports focus moves of the whole application, after the widgets have
// had their focus events. Moves to another window (a message box, the zoom
// list) or away from the application leave the window's focus where it was.
void QtPreviewWindow::focusChanged(QWidget* now)
{
    if (!now || now->window() != dialog_.get())
        return;
    PreviewControl control;
    if (!controlOf(now, control) || control == focused_)
        return;
    moveFocus(control);
}

bool QtPreviewWindow::controlOf(const QWidget* w, PreviewControl& control) const
{
    for (; w && w != dialog_.get(); w = w->parentWidget())
        for (int i = 0; i < kPreviewControlCount; ++i)
            if (widgets_[i] == w) {
                control = static_cast<PreviewControl>(i);
                return true;
            }
    return false;
}

void QtPreviewWindow::set_scroll_range(PreviewControl bar, int minimum, int maximum, int small_change,
                                       int large_change)
{
    if (auto* b = qobject_cast<QScrollBar*>(widget(bar))) {
        b->setRange(minimum, maximum);
        b->setSingleStep(small_change);
        b->setPageStep(large_change);
    }
}

int QtPreviewWindow::scroll_value(PreviewControl bar) const
{
    auto* b = qobject_cast<QScrollBar*>(widget(bar));
    return b ? b->value() : 0;
}

void QtPreviewWindow::show_scroll_value(PreviewControl bar, int value)
{
    if (auto* b = qobject_cast<QScrollBar*>(widget(bar))) {
        const QSignalBlocker quiet(b);
        b->setValue(value);
    }
}

// The screen's available area as an outer size: the window's real frame
// takes about what the outer size allows for it.
OuterSize QtPreviewWindow::available_outer_size() const
{
    QScreen* screen = dialog_->screen();
    if (QWidget* host = QApplication::activeWindow(); host && host != dialog_.get())
        screen = host->screen();
    if (!screen)
        return {outerWidth_, outerHeight_};
    const QSize area = screen->availableGeometry().size();
    return {area.width() * kTwipsPerPixel, area.height() * kTwipsPerPixel};
}

std::shared_ptr<Canvas> QtPreviewWindow::canvas()
{
    return canvas_;
}

// Busy or not, once: a second busy call does not need a second normal one.
void QtPreviewWindow::set_busy(bool busy)
{
    if (busy == busy_)
        return;
    busy_ = busy;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

void QtPreviewWindow::close()
{
    dialog_->done(QDialog::Rejected);
}

QDialog* QtPreviewWindow::dialog() const
{
    return dialog_.get();
}

QtPreviewWindow* QtPreviewWindow::of(QDialog* dialog)
{
    auto* ours = dynamic_cast<Dialog*>(dialog);
    return ours ? &ours->owner() : nullptr;
}

Result<std::unique_ptr<PreviewWindow>> QtWindowToolkit::create_preview_window(PreviewWindowEvents& events)
{
    if (Status here = on_qt_application_thread(); !here)
        return here.failure();
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return Failure(ErrorNumber::InvalidCall,
                       "The preview needs a Qt widget application; the host runs Qt without widgets");
    auto window = std::make_unique<QtPreviewWindow>(events);
    window->load();
    return std::unique_ptr<PreviewWindow>(std::move(window));
}

std::unique_ptr<WindowToolkit> make_qt_window_toolkit()
{
    return std::make_unique<QtWindowToolkit>();
}

QWidget* qtPreviewDialog(PreviewWindow* window)
{
    auto* qt = dynamic_cast<QtPreviewWindow*>(window);
    return qt ? qt->dialog() : nullptr;
}

}  // namespace kt482
