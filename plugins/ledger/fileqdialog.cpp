#include "fileqdialog.h"

FileQdialog::FileQdialog()
    : QDialog(nullptr)
{
}

void FileQdialog::keyReleaseEvent(QKeyEvent *event)
{
    emit keyRelease(event);
}
