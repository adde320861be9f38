#include "fileqdialog.h"

#include <QKeyEvent>

FileQdialog::FileQdialog()
    : QDialog(nullptr)
{}

void FileQdialog::keyPressEvent(QKeyEvent *event)
{
    // A plain dialog closes itself on Escape; here the owner decides, on release.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FileQdialog::keyReleaseEvent(QKeyEvent *event)
{
    emit keyRelease(event);
}
