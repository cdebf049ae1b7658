#include "measurement/ReadingValue.h"

#include <limits>

namespace {

constexpr std::int64_t Powers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

} // namespace

TReadingValue::TReadingValue(std::string_view Text, std::string_view Events)
    : FEvents(static_cast<std::uint32_t>(Events.size())) {
    FChars.reserve(Events.size() + Text.size());
    FChars.append(Events).append(Text);
    const std::optional<TDecimal> Value = TDecimal::Parse(Text);
    if (!Value || !Plausible(*Value))
        return;
    FMicro = *Value->Scaled(MicroDecimals);
    FDecimals = static_cast<std::int8_t>(Value->Decimals());
}

std::optional<TDecimal> TReadingValue::PciL() const {
    if (!Valid())
        return std::nullopt;
    return TDecimal::FromScaled(FMicro / Powers[MicroDecimals - FDecimals], FDecimals);
}

double TReadingValue::InUnit(TUnit Unit) const {
    if (!Valid())
        return std::numeric_limits<double>::quiet_NaN();
    // Both exact in a double, so the quotient is the nearest double to the reading.
    const double PciL = static_cast<double>(FMicro) / static_cast<double>(Powers[MicroDecimals]);
    return Unit == TUnit::BqM3 ? PciL * Units::BqPerPci : PciL;
}

bool TReadingValue::Plausible(const TDecimal& PciL) {
    static const TDecimal Most = *TDecimal::Parse("100000");
    return PciL.Decimals() <= MicroDecimals && PciL.Abs() <= Most;
}
