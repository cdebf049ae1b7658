#include "measurement/ReferenceLevel.h"

namespace ReferenceLevels {

namespace {

TDecimal Number(const char* Text) {
    return *TDecimal::Parse(Text);
}

// The level as a pCi/L fraction Sum / Count, exact in both units.
std::pair<TDecimal, std::uint32_t> InPciL(const TDecimal& Value, TUnit Unit) {
    return {Value, Unit == TUnit::PciL ? 1 : Units::BqPerPci};
}

bool IsControl(QChar Char) {
    const char16_t C = Char.unicode();
    return C < 0x20 || (C >= 0x7F && C < 0xA0) || Char.category() == QChar::Other_Format;
}

} // namespace

TReferenceLevel Epa() {
    return {QStringLiteral("epa"), QStringLiteral("EPA action level"), Units::EpaActionLevel(),
            TUnit::PciL, Number("2.0")};
}

TReferenceLevel Who() {
    return {QStringLiteral("who"), QStringLiteral("WHO reference level"), Number("100"),
            TUnit::BqM3, std::nullopt};
}

TReferenceLevel Eu() {
    return {QStringLiteral("eu"), QStringLiteral("EU reference level"), Number("300"), TUnit::BqM3,
            std::nullopt};
}

TReferenceLevel Canada() {
    return {QStringLiteral("canada"), QStringLiteral("Canadian guideline"), Number("200"),
            TUnit::BqM3, std::nullopt};
}

QStringList Keys() {
    return {QStringLiteral("epa"), QStringLiteral("who"), QStringLiteral("eu"),
            QStringLiteral("canada")};
}

std::optional<TReferenceLevel> FromKey(const QString& Key) {
    for (TReferenceLevel (*Make)() : {Epa, Who, Eu, Canada}) {
        TReferenceLevel Level = Make();
        if (Level.Key == Key)
            return Level;
    }
    return std::nullopt;
}

TCustom Custom(const QString& ValueText, TUnit Unit, const QString& Name) {
    const std::optional<TDecimal> Value = TDecimal::Parse(ValueText.trimmed().toStdString());
    const int Decimals = Unit == TUnit::PciL ? 1 : 0;
    const QString UnitName = Units::Name(Unit);
    if (!Value || *Value <= TDecimal())
        return {std::nullopt, QStringLiteral("The reference level must be a number above 0 %1, "
                                             "not \"%2\"")
                                  .arg(UnitName, ValueText.left(40))};
    if (Value->Rounded(Decimals) != *Value)
        return {std::nullopt,
                Unit == TUnit::PciL
                    ? QStringLiteral("A reference level in pCi/L has at most one decimal, "
                                     "as results are rounded to one")
                    : QStringLiteral("A reference level in Bq/m3 is a whole number, as results "
                                     "are rounded to whole numbers")};
    const auto [Sum, Count] = InPciL(*Value, Unit);
    if (Units::Rounded(Sum, Count, TUnit::PciL) > Number("100000"))
        return {std::nullopt,
                QStringLiteral("The reference level must be at most 100,000 pCi/L (3,700,000 "
                               "Bq/m3)")};
    const QString Trimmed = Name.trimmed();
    if (Trimmed.size() > MaxNameLength)
        return {std::nullopt, QStringLiteral("The reference level's name must have at most %1 "
                                             "characters")
                                  .arg(MaxNameLength)};
    if (std::any_of(Trimmed.begin(), Trimmed.end(), IsControl))
        return {std::nullopt,
                QStringLiteral("The reference level's name must not hold control characters")};
    return {TReferenceLevel{CustomKey,
                            Trimmed.isEmpty() ? QStringLiteral("reference level") : Trimmed, *Value,
                            Unit, std::nullopt},
            {}};
}

TLevelBand Band(const TReferenceLevel& Level, const TDecimal& Sum, std::uint32_t Count) {
    const TDecimal Reported = Units::Rounded(Sum, Count, Level.Unit);
    if (Reported >= Level.Value)
        return TLevelBand::AtOrAbove;
    if (Level.ConsiderFixing && Reported >= *Level.ConsiderFixing)
        return TLevelBand::ConsiderFixing;
    return TLevelBand::Below;
}

namespace {

double Converted(const TDecimal& Value, TUnit From, TUnit To) {
    const double V = Value.ToDouble();
    if (From == To)
        return V;
    return To == TUnit::BqM3 ? V * Units::BqPerPci : V / Units::BqPerPci;
}

} // namespace

double InUnit(const TReferenceLevel& Level, TUnit Unit) {
    return Converted(Level.Value, Level.Unit, Unit);
}

double ConsiderFixingInUnit(const TReferenceLevel& Level, TUnit Unit) {
    return Level.ConsiderFixing ? Converted(*Level.ConsiderFixing, Level.Unit, Unit) : 0;
}

QString ValueIn(const TReferenceLevel& Level, TUnit Unit) {
    const auto [Sum, Count] = InPciL(Level.Value, Level.Unit);
    return Units::ForPeople(Sum, Count, Unit);
}

QString ValueForPeople(const TReferenceLevel& Level, TUnit Shown) {
    const auto [Sum, Count] = InPciL(Level.Value, Level.Unit);
    return Units::BothForPeople(Sum, Count, Shown);
}

QString ForPeople(const TReferenceLevel& Level, TUnit Shown) {
    return QStringLiteral("the ") + Level.Name + QStringLiteral(" of ") +
           ValueForPeople(Level, Shown);
}

} // namespace ReferenceLevels
