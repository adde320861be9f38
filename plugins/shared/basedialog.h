#pragma once

#include <QMainWindow>

// The top-level window that frames a secondary web view (registration pages,
// pages the service opens in a new tab). Always titled "Mervo客户端" and
// application-modal; the caller places, shows and closes it.
class BaseDialog final : public QMainWindow
{
    Q_OBJECT

public:
    explicit BaseDialog(QWidget *contentWidget);

    QWidget *contentWidget() const { return m_contentWidget; }

private:
    QWidget *m_contentWidget;
};
