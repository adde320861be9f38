#pragma once

#include <QSettings>
#include <QString>

// The shared settings file, opened by its bare name: every deliverable runs with
// the program folder as its current directory.
inline QString configFileName()
{
    return QStringLiteral("config.ini");
}
