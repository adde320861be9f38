#pragma once

#include <QWebEngineUrlSchemeHandler>

// Hands "aliim:" chat links to the desktop, where the AliIM client takes them.
class AliimSchemeHandler final : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    explicit AliimSchemeHandler(QObject *parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob *job) override;
};
