#include "basedialog.h"

BaseDialog::BaseDialog(QWidget *contentWidget)
    : QMainWindow(nullptr)
    , m_contentWidget(contentWidget)
{
    setWindowTitle(QStringLiteral("Mervo客户端"));
    setWindowModality(Qt::ApplicationModal);
    setCentralWidget(contentWidget);
}
