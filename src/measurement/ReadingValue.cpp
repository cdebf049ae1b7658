#include "measurement/ReadingValue.h"

#include <limits>

namespace {

constexpr std::int64_t Powers[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
constexpr std::int64_t Most = 100000;

} // namespace

TReadingValue::TReadingValue(std::string_view Text, std::string_view Events)
    : FEvents(static_cast<std::uint32_t>(Events.size())) {
    FChars.reserve(Events.size() + Text.size());
    FChars.append(Events).append(Text);
    // TDecimal's form (a sign, digits, a point followed by digits), read straight into
    // millionths: a long report holds millions of values.
    size_t i = 0;
    const bool Negative = !Text.empty() && Text[0] == '-';
    if (!Text.empty() && (Text[0] == '-' || Text[0] == '+'))
        ++i;
    const auto IsDigit = [](char Char) { return Char >= '0' && Char <= '9'; };
    const size_t Begin = i;
    std::int64_t Whole = 0;
    for (; i < Text.size() && IsDigit(Text[i]); ++i) {
        Whole = Whole * 10 + (Text[i] - '0');
        if (Whole > Most)
            return;
    }
    if (i == Begin)
        return;
    std::int64_t Fraction = 0;
    int Decimals = 0;
    if (i < Text.size() && Text[i] == '.') {
        for (++i; i < Text.size() && IsDigit(Text[i]); ++i) {
            if (++Decimals > MicroDecimals)
                return;
            Fraction = Fraction * 10 + (Text[i] - '0');
        }
        if (Decimals == 0)
            return;
    }
    if (i != Text.size())
        return;
    const std::int64_t Micro =
        Whole * Powers[MicroDecimals] + Fraction * Powers[MicroDecimals - Decimals];
    if (Micro > Most * Powers[MicroDecimals])
        return;
    FMicro = Negative ? -Micro : Micro;
    FDecimals = static_cast<std::int8_t>(Decimals);
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
