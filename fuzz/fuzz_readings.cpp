// Arbitrary file bytes as a report's lines through the readings model, its figures, checks,
// summary for people, JSON and CSV.
#include "files/ReportText.h"
#include "measurement/Measurement.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    static const QLocale Locale(QLocale::English, QLocale::UnitedStates);
    static const QTimeZone Zone("America/Chicago");
    static const TCalibrationDates Calibration{{QStringLiteral("4410-0815"), QDate(2026, 1, 5)}};
    TCriteria Criteria;
    Criteria.Calibration = Calibration;
    // Every level and the first day left out, on some inputs each.
    Criteria.Level = Size % 3 ? ReferenceLevels::Epa() : ReferenceLevels::Eu();
    Criteria.PostMitigation = Size % 5 == 0;
    const QByteArray Bytes(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    const QStringList Lines = ReportText::DecodeText(Bytes);
    const TUnit Unit = Size % 2 ? TUnit::BqM3 : TUnit::PciL;
    const TMeasurement M = Measurement::Measure(Lines, Criteria, Unit, Locale, Zone);
    const TFigures& F = M.Figures;
    if (F.Valid > F.Count || F.EventsT > F.Count || F.EventsP > F.Count ||
        (F.MaxK > 0) != (F.Valid > 0))
        std::abort();
    Measurement::ForPeople(M, Unit, Locale);
    if (!M.Readings.Refusal.isEmpty()) {
        if (!M.Readings.Values.empty() || !M.Checks.empty())
            std::abort();
        return 0;
    }
    if (M.Checks.size() != 8 || !Measurement::Json(M).endsWith("}\n"))
        std::abort();
    // One header row, then one row per value, each ending in CR LF.
    const QByteArray Csv = Measurement::Csv(M.Readings);
    if (!Csv.endsWith("\r\n") || Csv.count("\r\n") < F.Count + 1)
        std::abort();
    return 0;
}
