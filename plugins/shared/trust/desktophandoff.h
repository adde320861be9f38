#pragma once

#include <QString>
#include <QUrl>

// The one way from a page to the desktop's URL and file handlers. Web and mail
// addresses and the chat programs' links may go; a local file only when a finished
// download wrote it (it and its folder). Everything else is refused with a log line.
namespace DesktopHandOff {

bool allows(const QUrl &url);

// Hands url to the desktop when allowed; false when refused.
bool open(const QUrl &url);

// "aliim", "tencent" or "kelda", in any letter case.
bool isChatScheme(const QUrl &url);

// A download finished writing path: the file and its folder may be opened from now on.
void allowDownloadedFile(const QString &path);

} // namespace DesktopHandOff
