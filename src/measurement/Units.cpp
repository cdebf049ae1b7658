#include "measurement/Units.h"

namespace Units {

TDecimal EpaActionLevel() {
    return *TDecimal::Parse("4.0");
}

TDecimal WhoReferenceLevel() {
    return *TDecimal::Parse("2.7");
}

QString Name(TUnit Unit) {
    return Unit == TUnit::PciL ? QStringLiteral("pCi/L") : QStringLiteral("Bq/m3");
}

std::optional<TUnit> FromName(const QString& Text) {
    for (const TUnit Unit : {TUnit::PciL, TUnit::BqM3})
        if (Text == Name(Unit))
            return Unit;
    return std::nullopt;
}

TDecimal Rounded(const TDecimal& Sum, std::uint32_t Count, TUnit Unit) {
    if (Unit == TUnit::PciL)
        return Sum.Quotient(Count, 1);
    return Sum.Times(BqPerPci).Quotient(Count, 0);
}

QString ForPeople(const TDecimal& Sum, std::uint32_t Count, TUnit Unit) {
    return QString::fromStdString(Rounded(Sum, Count, Unit).Text()) + u' ' + Name(Unit);
}

QString BothForPeople(const TDecimal& Sum, std::uint32_t Count, TUnit Unit) {
    const TUnit Other = Unit == TUnit::PciL ? TUnit::BqM3 : TUnit::PciL;
    return ForPeople(Sum, Count, Unit) + QStringLiteral(" (") + ForPeople(Sum, Count, Other) + u')';
}

} // namespace Units
