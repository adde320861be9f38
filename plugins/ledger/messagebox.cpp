#include "messagebox.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

static QString buttonStyle(const char *color, const char *background)
{
    return QStringLiteral(
               "QPushButton{border-radius:0px;border-width:0px;border-color:#1ABC9B;"
               "border-style:solid;margin:0px;padding:0px;font-size:%1px;color:%2;"
               "background:%3;outline:none;}"
               "QPushButton:hover{outline:none;background:#2881C7;color:white;}")
        .arg(12)
        .arg(QLatin1String(color), QLatin1String(background));
}

MessageBox::MessageBox(bool withCancel, QWidget *parent)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(true);

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(0, 0);
    shadow->setColor(QColor(QStringLiteral("#444444")));
    shadow->setBlurRadius(10);

    QPalette pal = palette();
    pal.setBrush(QPalette::Window, QBrush(Qt::white));
    setPalette(pal);
    setStyleSheet(QStringLiteral("QDialog{border-radius:0px;border-width:0px;background:white;}"));

    messageLabel = new QLabel(this);
    QFont font = messageLabel->font();
    font.setPixelSize(12);
    messageLabel->setFont(font);
    messageLabel->setMargin(10);
    messageLabel->setWordWrap(true);
    messageLabel->setMinimumWidth(400);
    messageLabel->setMinimumHeight(messageLabel->heightForWidth(400));

    auto *layout = new QVBoxLayout;
    layout->addWidget(messageLabel, 0, Qt::AlignLeft);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    confirmButton = new QPushButton(QStringLiteral("确认"), this);
    confirmButton->setFixedSize(70, 30);
    confirmButton->setStyleSheet(buttonStyle("white", "#2881C7"));
    buttons->addWidget(confirmButton);
    connect(confirmButton, &QPushButton::clicked, this, &QDialog::accept);
    if (withCancel) {
        cancelButton = new QPushButton(QStringLiteral("取消"), this);
        cancelButton->setFixedSize(70, 30);
        cancelButton->setStyleSheet(buttonStyle("black", "#eeeeee"));
        buttons->addWidget(cancelButton);
        connect(cancelButton, &QPushButton::clicked, this, &QDialog::close);
    }
    layout->addLayout(buttons);
    layout->setContentsMargins(20, 20, 20, 20);
    setLayout(layout);
    setGraphicsEffect(shadow);
}

void MessageBox::setText(const QString &text)
{
    messageLabel->setText(text);
}

void MessageBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(QBrush(Qt::white));
    painter.drawRoundedRect(QRectF(10, 10, width() - 20, height() - 20), 0, 0);
}
