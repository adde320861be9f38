#include "closedialog.h"
#include "ui_closedialog.h"

CloseDialog::CloseDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CloseDialog)
{
    ui->setupUi(this);
    connect(ui->btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

CloseDialog::~CloseDialog()
{
    delete ui;
}

QJsonObject CloseDialog::getConfig() const
{
    QString action = QStringLiteral("min");
    if (ui->rbClose->isChecked())
        action = QStringLiteral("close");
    return QJsonObject{{QStringLiteral("saveConfig"), ui->cbSaveConfig->isChecked()},
                       {QStringLiteral("closeAction"), action}};
}
