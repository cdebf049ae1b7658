#include "measurement/Summary.h"

#include "platform/DateTimeText.h"

#include <QStringList>

double TMean::Value() const {
    return Sum.ToDouble() / Count;
}

TDecimal TMean::Rounded(TUnit Unit) const {
    return Units::Rounded(Sum, static_cast<std::uint32_t>(Count), Unit);
}

QString TMean::ForPeople(TUnit Unit) const {
    return Units::BothForPeople(Sum, static_cast<std::uint32_t>(Count), Unit);
}

std::optional<double> TFigures::Hours() const {
    if (!Minutes)
        return std::nullopt;
    return static_cast<double>(*Minutes) / 60.0;
}

namespace Summary {

namespace {

constexpr int TestHours = 48;
constexpr int DiscardedMinutes = 4 * 60;

QString Plural(qint64 Count, const char* One, const char* Many) {
    return QString::number(Count) + u' ' + QLatin1String(Count == 1 ? One : Many);
}

QString Both(const TDecimal& PciL, TUnit Unit) {
    return Units::BothForPeople(PciL, 1, Unit);
}

TCheck Duration(const TFigures& F) {
    TCheck Check{QStringLiteral("duration_48h"), std::nullopt, {}};
    if (!F.Minutes) {
        Check.Text =
            QStringLiteral("The duration is unknown: the report's \"Time Interval\" line gives "
                           "no interval");
        return Check;
    }
    Check.Ok = *F.Minutes >= TestHours * 60;
    Check.Text = QStringLiteral("The test lasted ") + DurationForPeople(*F.Minutes) +
                 (*Check.Ok ? QStringLiteral(", at least the 48 hours a test needs")
                            : QStringLiteral(", less than the 48 hours a test needs"));
    return Check;
}

TCheck AllValid(const TReadings& R, const TFigures& F) {
    TCheck Check{QStringLiteral("all_valid"), F.Valid == F.Count, {}};
    if (F.Count == 0) {
        Check.Text = QStringLiteral("The readings table holds no values");
    } else if (*Check.Ok) {
        Check.Text = F.Count == 1 ? QStringLiteral("The one value is a reading")
                                  : QStringLiteral("All %1 values are readings").arg(F.Count);
    } else {
        constexpr int Listed = 5;
        QStringList Invalid;
        for (size_t i = 0; i < R.Values.size() && Invalid.size() <= Listed; ++i)
            if (!R.Values[i].PciL)
                Invalid << QString::number(i + 1);
        if (Invalid.size() > Listed)
            Invalid.last() = QStringLiteral("...");
        const int Bad = F.Count - F.Valid;
        Check.Text = QStringLiteral("%1 of %2 %3 (%4)")
                         .arg(Bad)
                         .arg(F.Count)
                         .arg(Bad == 1 ? QStringLiteral("values is not a number")
                                       : QStringLiteral("values are not numbers"),
                              (Bad == 1 ? QStringLiteral("value ") : QStringLiteral("values ")) +
                                  Invalid.join(QStringLiteral(", ")));
    }
    return Check;
}

TCheck NoEvents(const TFigures& F) {
    TCheck Check{QStringLiteral("no_events"), F.EventsT == 0 && F.EventsP == 0, {}};
    if (*Check.Ok) {
        Check.Text = QStringLiteral("No value carries an event letter (T or P)");
    } else {
        QStringList Marks;
        if (F.EventsT > 0)
            Marks << QStringLiteral("T on ") + Plural(F.EventsT, "value", "values");
        if (F.EventsP > 0)
            Marks << QStringLiteral("P on ") + Plural(F.EventsP, "value", "values");
        Check.Text = QStringLiteral("Events are marked: ") + Marks.join(QStringLiteral(", "));
    }
    return Check;
}

// Rounded to one decimal, the mean may differ from the instrument's figure by 0.1 pCi/L.
TCheck Agreement(QString Id, const QString& MeanName, const TMean& Mean,
                 const std::optional<TDecimal>& Instrument, const QString& FigureName,
                 const QString& Unknown, TUnit Unit) {
    TCheck Check{std::move(Id), std::nullopt, {}};
    if (!Mean.Known()) {
        Check.Text = MeanName + QStringLiteral(" is unknown: ") + Unknown;
        return Check;
    }
    if (!Instrument) {
        Check.Text =
            QStringLiteral("The report gives no ") + FigureName + QStringLiteral(" figure");
        return Check;
    }
    const TDecimal Difference = Mean.Rounded(TUnit::PciL) - *Instrument;
    Check.Ok = Difference.Abs() <= *TDecimal::Parse("0.1");
    Check.Text = MeanName + QStringLiteral(", ") + Mean.ForPeople(Unit) +
                 (*Check.Ok ? QStringLiteral(", agrees with the instrument's ")
                            : QStringLiteral(", differs by more than 0.1 pCi/L from the "
                                             "instrument's ")) +
                 FigureName + QStringLiteral(" of ") + Both(*Instrument, Unit);
    return Check;
}

TCheck CalibrationCheck(const TReadings& R, const TCalibrationDates& Dates, const QLocale& Locale) {
    TCheck Check{QStringLiteral("calibration"), std::nullopt, {}};
    if (R.SerialNumber.isEmpty()) {
        Check.Text = QStringLiteral("The report gives no serial number, so the monitor's "
                                    "calibration date is unknown");
        return Check;
    }
    const QString Monitor = QStringLiteral("The monitor ") + R.SerialNumber;
    const QDate Calibrated = Dates.value(R.SerialNumber);
    if (!Calibrated.isValid()) {
        Check.Text =
            QStringLiteral("No calibration date is known for the monitor ") + R.SerialNumber;
        return Check;
    }
    Check.Text = Monitor + QStringLiteral(" was calibrated on ") +
                 DateTimeText::FormatDate(Calibrated, Locale);
    if (!R.Start.isValid()) {
        Check.Text += QStringLiteral("; the start of the test is unknown");
        return Check;
    }
    const QDate Start = R.Start.date();
    Check.Ok = Calibrated <= Start && Calibrated >= Start.addMonths(-12);
    if (*Check.Ok)
        Check.Text += QStringLiteral(", within the 12 months before the start");
    else if (Calibrated > Start)
        Check.Text += QStringLiteral(", after the start");
    else
        Check.Text += QStringLiteral(", more than 12 months before the start");
    return Check;
}

// Judged on the figure as it is reported, to one decimal: 3.95 is 4.0, at the level.
TCheck ActionLevel(const TReadings& R, TUnit Unit) {
    TCheck Check{QStringLiteral("action_level"), std::nullopt, {}};
    if (!R.InstrumentEpaProtocol) {
        Check.Text = QStringLiteral("The report gives no EPA Protocol figure");
        return Check;
    }
    const TDecimal Level = Units::EpaActionLevel();
    Check.Ok = R.InstrumentEpaProtocol->Rounded(1) < Level;
    Check.Text = QStringLiteral("EPA protocol average ") + Both(*R.InstrumentEpaProtocol, Unit) +
                 (*Check.Ok ? QStringLiteral(" is below") : QStringLiteral(" is at or above")) +
                 QStringLiteral(" the EPA action level of ") + Both(Level, Unit);
    return Check;
}

} // namespace

int FirstHoursValues(int IntervalMinutes) {
    if (IntervalMinutes <= 0)
        return 0;
    return (DiscardedMinutes + IntervalMinutes - 1) / IntervalMinutes;
}

TFigures Figures(const TReadings& Readings) {
    TFigures F;
    F.Count = static_cast<int>(Readings.Values.size());
    if (Readings.IntervalMinutes > 0)
        F.Minutes = static_cast<qint64>(F.Count) * Readings.IntervalMinutes;
    const int Skipped = FirstHoursValues(Readings.IntervalMinutes);
    for (int i = 0; i < F.Count; ++i) {
        const TReadingValue& Value = Readings.Values[static_cast<size_t>(i)];
        F.EventsT += Value.Events.find('T') != std::string::npos ? 1 : 0;
        F.EventsP += Value.Events.find('P') != std::string::npos ? 1 : 0;
        if (!Value.PciL)
            continue;
        ++F.Valid;
        F.MeanAll.Sum += *Value.PciL;
        ++F.MeanAll.Count;
        if (Readings.IntervalMinutes > 0 && i >= Skipped) {
            F.MeanAfter4h.Sum += *Value.PciL;
            ++F.MeanAfter4h.Count;
        }
        if (F.MaxK == 0 || *Value.PciL > F.Max) {
            F.Max = *Value.PciL;
            F.MaxK = i + 1;
        }
    }
    return F;
}

std::vector<TCheck> Checks(const TReadings& Readings, const TFigures& Figures,
                           const TCalibrationDates& Calibration, TUnit Unit,
                           const QLocale& Locale) {
    return {
        Duration(Figures),
        AllValid(Readings, Figures),
        NoEvents(Figures),
        Agreement(QStringLiteral("agrees_overall_avg"), QStringLiteral("The mean of all readings"),
                  Figures.MeanAll, Readings.InstrumentOverallAvg, QStringLiteral("Overall Avg"),
                  QStringLiteral("no value is a reading"), Unit),
        Agreement(QStringLiteral("agrees_epa_protocol"),
                  QStringLiteral("The mean without the first 4 hours"), Figures.MeanAfter4h,
                  Readings.InstrumentEpaProtocol, QStringLiteral("EPA Protocol"),
                  Readings.IntervalMinutes > 0
                      ? QStringLiteral("no reading follows the first 4 hours")
                      : QStringLiteral("the report gives no time interval"),
                  Unit),
        CalibrationCheck(Readings, Calibration, Locale),
        ActionLevel(Readings, Unit),
    };
}

QString DurationForPeople(qint64 Minutes) {
    const qint64 Hours = Minutes / 60;
    const qint64 Rest = Minutes % 60;
    if (Rest == 0)
        return Plural(Hours, "hour", "hours");
    if (Hours == 0)
        return Plural(Rest, "minute", "minutes");
    return Plural(Hours, "hour", "hours") + u' ' + Plural(Rest, "minute", "minutes");
}

} // namespace Summary
