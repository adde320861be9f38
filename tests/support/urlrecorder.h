#pragma once

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Stands in for the desktop: records every URL the code under test hands to
// QDesktopServices::openUrl for the given schemes, in this process.
class UrlRecorder final : public QObject
{
    Q_OBJECT

public:
    explicit UrlRecorder(const QStringList &schemes)
        : m_schemes(schemes)
    {
        for (const QString &scheme : m_schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~UrlRecorder() override
    {
        for (const QString &scheme : qAsConst(m_schemes))
            QDesktopServices::unsetUrlHandler(scheme);
    }

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }

private:
    QStringList m_schemes;
};
