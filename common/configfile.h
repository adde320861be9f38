#pragma once

#include <QFile>
#include <QSettings>
#include <QString>

// The shared settings file, opened by its bare name: every deliverable runs with
// the program folder as its current directory.
inline QString configFileName()
{
    return QStringLiteral("config.ini");
}

// A text setting exactly as written. QSettings reads an unquoted value with commas
// as a list; such a value is then taken from the line's own text after "=".
inline QString configText(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.userType() != QMetaType::QStringList)
        return value.toString();
    const int slash = key.indexOf(QLatin1Char('/'));
    const QByteArray section = '[' + key.left(slash).toUtf8() + ']';
    const QByteArray name = key.mid(slash + 1).toUtf8();
    QFile file(settings.fileName());
    if (file.open(QIODevice::ReadOnly)) {
        bool inSection = false;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.startsWith('['))
                inSection = line == section;
            const int equals = line.indexOf('=');
            if (inSection && equals > 0 && line.left(equals).trimmed() == name)
                return QString::fromUtf8(line.mid(equals + 1).trimmed());
        }
    }
    return value.toStringList().join(QLatin1Char(','));
}
