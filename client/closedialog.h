#pragma once

#include <QDialog>
#include <QJsonObject>

namespace Ui {
class CloseDialog;
}

// Asks what closing the window means (hide to the tray or quit) and whether to
// remember it. Only collects the answer; the main window acts on it.
class CloseDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit CloseDialog(QWidget *parent = nullptr);
    ~CloseDialog() override;

    // {"saveConfig": bool, "closeAction": "min" | "close"}; read after exec() accepted.
    QJsonObject getConfig() const;

private:
    Ui::CloseDialog *ui;
};
