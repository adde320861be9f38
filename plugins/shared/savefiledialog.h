#pragma once

#include <QString>

class QWidget;

// Asks for a file to save, like QFileDialog::getSaveFileName, but safe when the
// parent window goes while the dialog runs (a page may close its own window, or a
// log-out closes them all): the dialog then ends with no answer instead of being
// deleted twice.
namespace SaveFileDialog {

QString ask(QWidget *parent, const QString &caption, const QString &path, const QString &filter);

} // namespace SaveFileDialog
