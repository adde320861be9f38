#pragma once

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Counts log lines matching a pattern while it lives, so a test can wait for
// something the code only logs. Lines still reach the handler before it (QtTest's).
class LogWatch final
{
public:
    explicit LogWatch(const QString &pattern)
        : pattern(pattern)
    {
        watches().append(this);
        if (watches().size() == 1)
            previous() = qInstallMessageHandler(&LogWatch::handle);
    }
    ~LogWatch()
    {
        watches().removeAll(this);
        if (watches().isEmpty())
            qInstallMessageHandler(previous());
    }
    LogWatch(const LogWatch &) = delete;
    LogWatch &operator=(const LogWatch &) = delete;

    int count() const { return lines.size(); }
    // The matching lines, oldest first.
    const QStringList &matched() const { return lines; }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        for (LogWatch *w : qAsConst(watches()))
            if (w->pattern.match(text).hasMatch())
                w->lines << text;
        if (previous())
            previous()(type, context, text);
    }
    static QList<LogWatch *> &watches()
    {
        static QList<LogWatch *> list;
        return list;
    }
    static QtMessageHandler &previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }

    QRegularExpression pattern;
    QStringList lines;
};
