#pragma once

#include <QWebEngineProfile>

// The web profile of every page the client shows: cookies, cache, downloads, the
// notification presenter and the accepted languages all live on it. Everything asks here,
// so that the profile is chosen in one place.
inline QWebEngineProfile *webProfile()
{
    return QWebEngineProfile::defaultProfile();
}
