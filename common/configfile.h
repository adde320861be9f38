#pragma once

#include <QSettings>
#include <QString>

// The shared settings file, opened by its bare name: every deliverable runs with
// the program folder as its current directory.
inline QString configFileName()
{
    return QStringLiteral("config.ini");
}

// A text setting exactly as written. QSettings reads an unquoted value with commas
// as a list; such a value is joined back, so "a,b" stays one text.
inline QString configText(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}
