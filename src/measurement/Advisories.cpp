#include "measurement/Advisories.h"

namespace Advisories {

QStringList ForResult(const TReferenceLevel& Level, std::optional<TLevelBand> Band,
                      bool PostMitigation, TUnit Unit) {
    QStringList Advice;
    const QString Named = ReferenceLevels::ForPeople(Level, Unit);
    if (Band == TLevelBand::AtOrAbove) {
        Advice << (PostMitigation
                       ? QStringLiteral("The radon level is still at or above %1 after mitigation: "
                                        "have the system checked and improved by a qualified "
                                        "mitigation contractor, then test again.")
                       : QStringLiteral("Fix the building: the result is at or above %1. A "
                                        "qualified mitigation contractor can lower the radon "
                                        "level; test again after the work."))
                      .arg(Named);
    } else if (Band == TLevelBand::ConsiderFixing) {
        TReferenceLevel From = Level;
        From.Value = Level.ConsiderFixing.value_or(Level.Value);
        Advice << QStringLiteral("Consider fixing the building: the result is below %1 but at or "
                                 "above %2, where reducing the radon level is still worth "
                                 "considering, since any radon carries some risk.")
                      .arg(Named, ReferenceLevels::ValueForPeople(From, Unit));
    } else if (Band == TLevelBand::Below) {
        Advice << QStringLiteral("The result is below %1. Radon carries some risk at any level: "
                                 "lower is better.")
                      .arg(Named);
    }
    Advice << QStringLiteral("Test again at least every 5 years, every 2 years after mitigation, "
                             "and whenever the building is sold or renovated.");
    return Advice;
}

} // namespace Advisories
