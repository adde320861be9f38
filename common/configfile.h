#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// The shared settings file, opened by its bare name: every deliverable runs with
// the program folder as its current directory.
inline QString configFileName()
{
    return QStringLiteral("config.ini");
}

// A text setting. QSettings reads an unquoted value with commas as a list and writes
// that list back as "a, b" or with quoted parts; joined again with bare commas, the
// value reads the same before and after any write of the file.
inline QString configText(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}
