#include "platform/MessageText.h"

namespace MessageText {

namespace {
// Also the marks, embeddings, overrides and isolates that reorder text: shown, they could make
// a file name or a client's address read as something else.
bool IsControl(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029 || c == 0x061C ||
           c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}
} // namespace

QString Shown(const QString& Text, int MaxChars) {
    const int n = MaxChars < 0 ? int(Text.size()) : std::min<int>(MaxChars, int(Text.size()));
    QString out;
    out.reserve(n + 16);
    for (int i = 0; i < n; ++i) {
        const char16_t c = Text[i].unicode();
        if (c == '\\')
            out += QStringLiteral("\\\\");
        else if (c == '\n')
            out += QStringLiteral("\\n");
        else if (c == '\r')
            out += QStringLiteral("\\r");
        else if (c == '\t')
            out += QStringLiteral("\\t");
        else if (IsControl(c))
            out += c < 0x100 ? QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'))
                             : QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            out += QChar(c);
    }
    if (n < Text.size())
        out += QStringLiteral("... (%1 characters)").arg(Text.size());
    return out;
}

QString Quoted(const QString& Text, int MaxChars) {
    return QLatin1Char('"') + Shown(Text, MaxChars) + QLatin1Char('"');
}

} // namespace MessageText
