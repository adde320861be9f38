#pragma once

#include "qtcompat.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWebEngineProfile>

// The web profile of every page the client shows: cookies, local storage, the HTTP cache,
// downloads, the notification presenter and the accepted languages all live on it.
// Everything asks here, so that the profile is chosen in one place.
//
// It keeps what it holds on disk across runs. Qt 5's default profile does that, under
// "QtWebEngine/Default" in the application's data and cache folders. Qt 6's default
// profile keeps nothing, so there the profile is a named one on those same folders, and a
// user moving from one build to the other keeps the session.
inline QWebEngineProfile *webProfile()
{
#if MERVO_QT6
    // One profile for the program and its plug-ins, each of which would have a static of
    // its own: it is found on the application object, and goes with it, after the windows
    // and their pages.
    static const char name[] = "mervoWebProfile";
    static QPointer<QWebEngineProfile> profile;
    if (!profile) {
        QCoreApplication *app = QCoreApplication::instance();
        profile =
            app->findChild<QWebEngineProfile *>(QLatin1String(name), Qt::FindDirectChildrenOnly);
        if (!profile) {
            profile = new QWebEngineProfile(QStringLiteral("Default"), app);
            profile->setObjectName(QLatin1String(name));
        }
    }
    return profile;
#else
    return QWebEngineProfile::defaultProfile();
#endif
}
