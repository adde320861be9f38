#include "savefiledialog.h"

#include <QFileDialog>
#include <QPointer>

namespace SaveFileDialog {

QString ask(QWidget *parent, const QString &caption, const QString &path, const QString &filter)
{
    QPointer<QFileDialog> dialog = new QFileDialog(parent, caption, path, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->selectFile(path);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    if (!dialog)
        return QString();
    const QString chosen = accepted ? dialog->selectedFiles().value(0) : QString();
    delete dialog.data();
    return chosen;
}

} // namespace SaveFileDialog
