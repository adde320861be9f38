#include "findbar.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>
#include <QWebEngineFindTextResult>
#include <QWebEngineView>

static QShortcut *viewShortcut(const QKeySequence &keys, QWebEngineView *view)
{
    auto *shortcut = new QShortcut(keys, view);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    return shortcut;
}

static QToolButton *button(const QString &text, const QString &tip, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

FindBar::FindBar(QWebEngineView *view)
    : QWidget(view)
    , view(view)
    , field(new QLineEdit(this))
    , count(new QLabel(this))
    , next(viewShortcut(QKeySequence(Qt::Key_F3), view))
    , previous(viewShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3), view))
{
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    field->setPlaceholderText(QStringLiteral("查找"));
    field->setClearButtonEnabled(true);
    field->setMinimumWidth(200);
    field->installEventFilter(this);
    count->setMinimumWidth(110);
    auto *before = button(QStringLiteral("▲"), QStringLiteral("上一项 (Shift+F3)"), this);
    auto *after = button(QStringLiteral("▼"), QStringLiteral("下一项 (F3)"), this);
    auto *close = button(QStringLiteral("✕"), QStringLiteral("关闭 (Esc)"), this);
    before->setObjectName(QStringLiteral("findPrevious"));
    after->setObjectName(QStringLiteral("findNext"));
    close->setObjectName(QStringLiteral("findClose"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->addWidget(field);
    layout->addWidget(count);
    layout->addWidget(before);
    layout->addWidget(after);
    layout->addStretch();
    layout->addWidget(close);

    connect(field, &QLineEdit::textEdited, this, [this](const QString &text) {
        watchPage();
        count->clear();
        this->view->findText(text);
    });
    connect(before, &QToolButton::clicked, this, [this] { find(true); });
    connect(after, &QToolButton::clicked, this, [this] { find(false); });
    connect(close, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(next, &QShortcut::activated, this, [this] { find(false); });
    connect(previous, &QShortcut::activated, this, [this] { find(true); });
    next->setEnabled(false);
    previous->setEnabled(false);
    view->installEventFilter(this);
    hide();
}

void FindBar::attach(QWebEngineView *view)
{
    // The bar is made on first use: most views never need it.
    connect(viewShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), view), &QShortcut::activated, view,
            [view] {
                auto *bar = view->findChild<FindBar *>(QString(), Qt::FindDirectChildrenOnly);
                (bar ? bar : new FindBar(view))->open();
            });
}

void FindBar::open()
{
    watchPage();
    place();
    show();
    raise();
    next->setEnabled(true);
    previous->setEnabled(true);
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

void FindBar::dismiss()
{
    if (isHidden())
        return;
    hide();
    next->setEnabled(false);
    previous->setEnabled(false);
    count->clear();
    view->findText(QString()); // clears the highlights
    qDebug() << "find: closed";
    view->setFocus(Qt::OtherFocusReason);
}

void FindBar::find(bool backward)
{
    if (isHidden()) {
        open();
        return;
    }
    if (field->text().isEmpty())
        return;
    watchPage();
    view->findText(field->text(),
                   backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}

QString FindBar::countText() const
{
    return count->text();
}

void FindBar::watchPage()
{
    QWebEnginePage *page = view->page();
    if (page == watchedPage)
        return;
    if (watchedPage)
        disconnect(watchedPage, nullptr, this, nullptr);
    watchedPage = page;
    connect(page, &QWebEnginePage::findTextFinished, this, &FindBar::onFound);
    // A new document has nothing of the old search: the count would be wrong.
    connect(page, &QWebEnginePage::loadStarted, this, [this] { count->clear(); });
}

void FindBar::onFound(const QWebEngineFindTextResult &result)
{
    if (isHidden() || field->text().isEmpty()) {
        count->clear();
        return;
    }
    if (result.numberOfMatches() == 0)
        count->setText(QStringLiteral("无匹配"));
    else
        count->setText(QStringLiteral("第 %1 项，共 %2 项")
                           .arg(result.activeMatch())
                           .arg(result.numberOfMatches()));
    qDebug().noquote() << "find:" << count->text();
}

void FindBar::place()
{
    const int height = sizeHint().height();
    setGeometry(0, view->height() - height, view->width(), height);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    // The bar's parent is the view; compared as an object, since the view may be part way
    // through its destruction when its last child events come.
    if (watched == parent()) {
        // The view's page widget comes anew with a renderer and would cover the bar.
        if (!isHidden() &&
            (event->type() == QEvent::Resize || event->type() == QEvent::ChildAdded)) {
            place();
            raise();
        }
        return false;
    }
    if (watched == field && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Escape:
            dismiss();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            find(key->modifiers() & Qt::ShiftModifier);
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
