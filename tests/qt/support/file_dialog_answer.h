// Answers the next modal file dialog as a user would, once it is up.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMetaObject>
#include <QString>
#include <QTimer>

namespace kt482::test {

// Chooses name in the next modal file dialog; an empty name cancels it.
inline void answer_file_dialog(const QString& name)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, name] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        if (name.isEmpty()) {
            dialog->reject();
            return;
        }
        // Typed into the name box, as a user would: selectFile() of a path
        // in another folder lets the folder's loading rewrite the name later.
        if (auto* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            box->setText(name);
        else
            dialog->selectFile(name);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll->start(10);
}

}  // namespace kt482::test
