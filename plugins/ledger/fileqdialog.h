#pragma once

#include <QDialog>

class QKeyEvent;

// The download panel's frame: reports every released key instead of handling it,
// so the panel's owner decides what Escape means.
class FileQdialog final : public QDialog
{
    Q_OBJECT

public:
    FileQdialog();

signals:
    void keyRelease(QKeyEvent *event);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
};
