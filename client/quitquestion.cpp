#include "quitquestion.h"

#include <QMessageBox>
#include <QPushButton>

bool QuitQuestion::askToCancelDownloads(QWidget *parent)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("退出提示"),
                    QStringLiteral("有下载尚未完成，退出将取消下载。"), QMessageBox::NoButton,
                    parent);
    box.setObjectName(QStringLiteral("QuitQuestion"));
    QPushButton *quit = box.addButton(QStringLiteral("退出"), QMessageBox::AcceptRole);
    QPushButton *stay = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
    box.setDefaultButton(stay);
    box.setEscapeButton(stay);
    box.exec();
    return box.clickedButton() == quit;
}
