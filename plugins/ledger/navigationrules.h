#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

// The workspace's navigation decisions, free of any view so they
// can be reasoned about (and tested) on their own.
namespace NavigationRules {

// The authority of a URL text: the part between the second and third "/", or
// empty when the text has fewer than two slashes.
QString baseHostOf(const QString &url);

// Whether the workspace page leaves the service: a typed or redirected main-frame
// navigation to an address that does not contain the service host and is no chat link.
bool leavesService(const QString &url, const QString &baseHost, QWebEnginePage::NavigationType type,
                   bool isMainFrame);

// Download entries: Sys/DownLoadFile (or its default) followed by the fixed entries.
QStringList downloadEntries(const QString &setting);

struct PassResult
{
    bool passes = false;
    bool isDownload = false;
};

// Whether the first navigation of a secondary window stays in the client: a
// download entry in the URL, or the service host.
PassResult secondaryPass(const QString &url, const QString &baseHost, const QStringList &entries);

// The progress bar value for a load progress p, or -1 to leave the bar as it is.
int progressBarValue(int p);

} // namespace NavigationRules
