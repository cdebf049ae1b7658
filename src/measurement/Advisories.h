#pragma once

#include "measurement/ReferenceLevel.h"

#include <QStringList>
#include <optional>

// What a client report advises, in its own words: what the result band asks of the building's
// owner, then when to test again.
namespace Advisories {

// Band: where the result stands against Level; none when the result is unknown. Unit: the
// unit the levels are named in first.
QStringList ForResult(const TReferenceLevel& Level, std::optional<TLevelBand> Band,
                      bool PostMitigation, TUnit Unit);

} // namespace Advisories
