#pragma once

#include "measurement/Decimal.h"
#include "measurement/Units.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One value of the readings table: its text as printed and its event letters ("T", "P",
// both or none), both Latin-1 as the report's bytes, and the reading when the text is one.
// A long report holds millions of values, so each is kept in one string and a number.
class TReadingValue {
public:
    TReadingValue() = default;
    TReadingValue(std::string_view Text, std::string_view Events);

    std::string_view Text() const { return std::string_view(FChars).substr(FEvents); }
    std::string_view Events() const { return std::string_view(FChars).substr(0, FEvents); }
    bool HasEvent(char Letter) const { return Events().find(Letter) != std::string_view::npos; }

    // A reading: the whole text is a decimal number (an optional sign, digits, and a point
    // followed by digits) of at most 100,000 either side of zero with at most 6 decimals. Beyond
    // that a number is no measurement, and its digits would make every sum slow.
    bool Valid() const { return FDecimals >= 0; }
    // The reading in pCi/L, written with the text's decimals; none when invalid.
    std::optional<TDecimal> PciL() const;
    // The reading in millionths of a pCi/L, exact; 0 when invalid. Sums of millions of them
    // stay exact in 64 bits.
    std::int64_t Micro() const { return FMicro; }
    // The reading in Unit for drawing; not a number when invalid.
    double InUnit(TUnit Unit) const;

    static constexpr int MicroDecimals = 6;

private:
    // The event letters, then the text.
    std::string FChars;
    std::int64_t FMicro = 0;
    std::uint32_t FEvents = 0;
    // The text's decimals; -1: not a reading.
    std::int8_t FDecimals = -1;
};
