#pragma once

#include "measurement/Decimal.h"

#include <QString>
#include <optional>

// The two units the readings are shown in. The instrument prints pCi/l; 1 pCi/L is exactly
// 37 Bq/m3. People see pCi/L with one decimal and Bq/m3 as a whole number, rounded half away
// from zero on the exact value.
enum class TUnit { PciL, BqM3 };

namespace Units {

constexpr std::uint32_t BqPerPci = 37;

// The EPA action level (4.0 pCi/L) and the WHO reference level (2.7 pCi/L).
TDecimal EpaActionLevel();
TDecimal WhoReferenceLevel();

// "pCi/L" or "Bq/m3": also the setting's and the command line's spelling.
QString Name(TUnit Unit);
std::optional<TUnit> FromName(const QString& Name);

// Sum / Count pCi/L (Count 1 for a single value) in Unit, rounded for people.
TDecimal Rounded(const TDecimal& Sum, std::uint32_t Count, TUnit Unit);

// "4.0 pCi/L" or "148 Bq/m3".
QString ForPeople(const TDecimal& Sum, std::uint32_t Count, TUnit Unit);
// In Unit first, the other in brackets: "4.0 pCi/L (148 Bq/m3)", "148 Bq/m3 (4.0 pCi/L)".
QString BothForPeople(const TDecimal& Sum, std::uint32_t Count, TUnit Unit);

} // namespace Units
