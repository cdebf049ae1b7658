#include "platform/JsonText.h"

namespace JsonText {

QByteArray String(const QString& Text) {
    QString Escaped;
    Escaped.reserve(Text.size() + 2);
    Escaped += u'"';
    for (const QChar Char : Text) {
        if (Char == u'"' || Char == u'\\')
            Escaped += u'\\';
        if (Char.unicode() < 0x20)
            Escaped += QStringLiteral("\\u%1").arg(Char.unicode(), 4, 16, QLatin1Char('0'));
        else
            Escaped += Char;
    }
    Escaped += u'"';
    return Escaped.toUtf8();
}

QByteArray StringOrNull(const QString& Text) {
    return Text.isEmpty() ? QByteArray("null") : String(Text);
}

} // namespace JsonText
