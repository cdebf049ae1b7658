#pragma once

#include "measurement/Units.h"

#include <QString>
#include <QStringList>
#include <optional>

// The level a result is placed against. A level is defined in its own unit and a result is
// compared with it in that unit, after that unit's rounding for people (one decimal pCi/L,
// whole Bq/m3): 3.95 pCi/L is 4.0, at the EPA action level; 299.6 Bq/m3 is 300, at the EU one.
struct TReferenceLevel {
    // "epa", "who", "eu", "canada"; "custom" for one the tester names.
    QString Key;
    // "EPA action level", as it stands in a sentence.
    QString Name;
    TDecimal Value;
    TUnit Unit = TUnit::PciL;
    // Where "consider fixing" begins, in Unit (the EPA's 2.0 pCi/L); none for the others.
    std::optional<TDecimal> ConsiderFixing;
};

// Where a result stands against a level.
enum class TLevelBand { Below, ConsiderFixing, AtOrAbove };

namespace ReferenceLevels {

inline const QString CustomKey = QStringLiteral("custom");

TReferenceLevel Epa();
TReferenceLevel Who();
TReferenceLevel Eu();
TReferenceLevel Canada();

// "epa", "who", "eu", "canada": also the command line's and the settings' spelling.
QStringList Keys();
std::optional<TReferenceLevel> FromKey(const QString& Key);

// A level the tester names: ValueText a number above 0 in Unit with no more decimals than the
// unit is rounded to, at most 100,000 pCi/L; Name (empty: "reference level") at most
// MaxNameLength characters, no control characters.
constexpr int MaxNameLength = 80;
struct TCustom {
    std::optional<TReferenceLevel> Level;
    // Why the level was refused, in the user's words; empty when it was taken.
    QString Refusal;
};
TCustom Custom(const QString& ValueText, TUnit Unit, const QString& Name);

// Sum / Count pCi/L against Level.
TLevelBand Band(const TReferenceLevel& Level, const TDecimal& Sum, std::uint32_t Count);

// The level in Unit, as the chart draws it.
double InUnit(const TReferenceLevel& Level, TUnit Unit);
double ConsiderFixingInUnit(const TReferenceLevel& Level, TUnit Unit);

// The value in Unit alone, rounded for people: "4.0 pCi/L", "8.1 pCi/L".
QString ValueIn(const TReferenceLevel& Level, TUnit Unit);
// The value in Shown first, the other unit in brackets: "4.0 pCi/L (148 Bq/m3)",
// "300 Bq/m3 (8.1 pCi/L)".
QString ValueForPeople(const TReferenceLevel& Level, TUnit Shown);
// "the EPA action level of 4.0 pCi/L (148 Bq/m3)".
QString ForPeople(const TReferenceLevel& Level, TUnit Shown);

} // namespace ReferenceLevels
