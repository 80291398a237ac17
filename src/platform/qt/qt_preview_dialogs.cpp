// The preview window's own dialogs: the file chooser for saving as PDF and
// the progress of a print run.
#include <QFileDialog>
#include <QProgressDialog>
#include <QString>

#include "platform/qt/qt_preview_widgets.h"

namespace kt482 {
namespace {

int& progressDelay()
{
    static int milliseconds = 500;
    return milliseconds;
}

}  // namespace

std::string QtPreviewWindow::choose_pdf_file(const std::string& suggested_name)
{
    QFileDialog chooser(dialog_.get(), QStringLiteral("PDFに保存"));
    chooser.setAcceptMode(QFileDialog::AcceptSave);
    chooser.setFileMode(QFileDialog::AnyFile);
    // The same dialog everywhere, also where the platform has none.
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setNameFilter(QStringLiteral("PDF (*.pdf)"));
    chooser.setDefaultSuffix(QStringLiteral("pdf"));
    chooser.selectFile(QString::fromStdString(suggested_name));
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return {};
    return chooser.selectedFiles().constFirst().toStdString();
}

bool QtPreviewWindow::show_progress(int done, int total)
{
    if (!progress_) {
        progress_ = new QProgressDialog(dialog_.get());
        progress_->setWindowTitle(QStringLiteral("Preview"));
        progress_->setCancelButtonText(QStringLiteral("キャンセル"));
        progress_->setWindowModality(Qt::WindowModal);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setMinimumDuration(progressDelay());
        progress_->setRange(0, total);
        progress_->setValue(0);
    }
    progress_->setLabelText(QStringLiteral("印刷中… %1 / %2 ページ").arg(done).arg(total));
    // A modal progress dialog lets the events through here.
    progress_->setValue(done);
    return !progress_->wasCanceled();
}

void QtPreviewWindow::end_progress()
{
    delete progress_;
    progress_ = nullptr;
}

void set_progress_delay(int milliseconds)
{
    progressDelay() = milliseconds;
}

}  // namespace kt482
