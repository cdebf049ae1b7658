#include "platform/Paper.h"

namespace Paper {

QString Name(TPaper Paper) {
    return Paper == TPaper::A4 ? QStringLiteral("A4") : QStringLiteral("Letter");
}

std::optional<TPaper> FromName(const QString& Text) {
    for (const TPaper Paper : {TPaper::A4, TPaper::Letter})
        if (Text == Name(Paper))
            return Paper;
    return std::nullopt;
}

TPaper LocalePaper(const QLocale& Locale) {
    switch (Locale.territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::PuertoRico:
    case QLocale::Guatemala:
    case QLocale::ElSalvador:
    case QLocale::Nicaragua:
    case QLocale::CostaRica:
    case QLocale::Panama:
    case QLocale::DominicanRepublic:
    case QLocale::Colombia:
    case QLocale::Venezuela:
    case QLocale::Chile:
    case QLocale::Philippines:
        return TPaper::Letter;
    default:
        return TPaper::A4;
    }
}

} // namespace Paper
