#pragma once

#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

// Serves the chat programs' schemes ("aliim:", "tencent:", "kelda:") on the web
// profile: a request hands its link to the desktop, where the chat program takes
// it, and the page gets no content. Installed, they make a chat link assigned from
// script an ordinary navigation, which the pages pass through the desktop hand-off.
class AliimSchemeHandler final : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    explicit AliimSchemeHandler(QObject *parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // Installs a handler for each chat scheme the profile does not handle yet.
    static void installOn(QWebEngineProfile *profile);
};
