#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;
class QLineEdit;
class QShortcut;
class QWebEngineFindTextResult;
class QWebEnginePage;
class QWebEngineView;

// Find in page: Ctrl+F opens a bar over the bottom of the view that finds as one
// types and counts the matches; Enter or F3 goes to the next, with Shift to the one
// before; Esc closes it and clears the highlights.
class FindBar final : public QWidget
{
    Q_OBJECT

public:
    static void attach(QWebEngineView *view);

    // Shows the bar with its text selected, for typing.
    void open();
    // Hides the bar and clears the highlights.
    void dismiss();
    // Next match, or the one before.
    void find(bool backward);

    QString countText() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FindBar(QWebEngineView *view);
    void place();
    void watchPage();
    void onFound(const QWebEngineFindTextResult &result);

    QPointer<QWebEngineView> view;
    QPointer<QWebEnginePage> watchedPage;
    QLineEdit *field;
    QLabel *count;
    QShortcut *next;
    QShortcut *previous;
};
