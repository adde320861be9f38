#pragma once

#include <QString>

// Quotes text as a JavaScript string literal (double quotes), so values from
// settings, servers or file names can be placed in script text without being
// able to end the literal or inject code.
inline QString jsStringLiteral(const QString &text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QLatin1String("\\\""); break;
        case '\\': out += QLatin1String("\\\\"); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        case '\t': out += QLatin1String("\\t"); break;
        default:
            // Control characters, line/paragraph separators and angle brackets
            // (harmless in script text, but kept out of any HTML context).
            if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029
                || c == QLatin1Char('<') || c == QLatin1Char('>') || c == QLatin1Char('\'')) {
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
    }
    out += QLatin1Char('"');
    return out;
}
