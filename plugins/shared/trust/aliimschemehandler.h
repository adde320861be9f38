#pragma once

#include <QWebEngineUrlSchemeHandler>

class QWebEngineProfile;

// Serves the chat programs' schemes ("aliim:", "tencent:", "kelda:") on the web
// profile. Installed, it makes a chat link an ordinary navigation, which the pages
// hand to the desktop (ServicePage); what still reaches it is a page's request for
// content (an image, a fetch), which gets none and launches nothing.
class AliimSchemeHandler final : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    explicit AliimSchemeHandler(QObject *parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // Installs a handler for each chat scheme the profile does not handle yet.
    static void installOn(QWebEngineProfile *profile);
};
