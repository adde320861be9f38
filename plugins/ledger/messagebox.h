#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The workspace's own alert/confirm box: frameless, white, shadowed, with
// "确认" (accept, result 1) and, in the confirm form, "取消" (reject, result 0).
class MessageBox final : public QDialog
{
    Q_OBJECT

public:
    explicit MessageBox(bool withCancel, QWidget *parent = nullptr);

    void setText(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *messageLabel = nullptr;
    QPushButton *confirmButton = nullptr;
    QPushButton *cancelButton = nullptr;
};
