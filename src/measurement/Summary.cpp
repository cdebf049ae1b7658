#include "measurement/Summary.h"

#include "platform/DateTimeText.h"

#include <QStringList>
#include <algorithm>

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
constexpr int AfterMitigationHours = 24;

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
            if (!R.Values[i].Valid())
                Invalid << QString::number(i + 1);
        if (Invalid.size() > Listed)
            Invalid.last() = QStringLiteral("...");
        const int Bad = F.Count - F.Valid;
        Check.Text = QStringLiteral("%1 of %2 %3 (%4)")
                         .arg(Bad)
                         .arg(F.Count)
                         .arg(Bad == 1 ? QStringLiteral("values is not a reading")
                                       : QStringLiteral("values are not readings"),
                              (Bad == 1 ? QStringLiteral("value ") : QStringLiteral("values ")) +
                                  Invalid.join(QStringLiteral(", ")));
    }
    return Check;
}

// The report's own end against the end of its readings; one interval apart is still the same
// end, as the instrument may count the last interval either way.
TCheck EndAgrees(const TReadings& R, const QLocale& Locale) {
    TCheck Check{QStringLiteral("end_agrees"), std::nullopt, {}};
    if (!R.ReportEnd.isValid()) {
        Check.Text = QStringLiteral("The report gives no end");
        return Check;
    }
    const QString Given = R.ReportEndHasTime ? DateTimeText::FormatDateTime(R.ReportEnd, Locale)
                                             : DateTimeText::FormatDate(R.ReportEnd.date(), Locale);
    const QDateTime Measured = Readings::End(R);
    if (!Measured.isValid()) {
        Check.Text =
            QStringLiteral("The report gives the end as ") + Given +
            QStringLiteral("; the end of the readings is unknown without ") +
            (R.Start.isValid() ? QStringLiteral("a time interval") : QStringLiteral("a start"));
        return Check;
    }
    // A date alone stands for the whole day.
    const QDateTime From = R.ReportEnd;
    const QDateTime To = R.ReportEndHasTime ? R.ReportEnd
                                            : QDateTime(R.ReportEnd.date().addDays(1), QTime(0, 0),
                                                        R.ReportEnd.timeZone());
    const qint64 Off = Measured < From ? Measured.secsTo(From)
                       : Measured > To ? To.secsTo(Measured)
                                       : 0;
    Check.Ok = Off <= static_cast<qint64>(R.IntervalMinutes) * 60;
    const QString Readings = DateTimeText::FormatDateTime(Measured, Locale);
    Check.Text = *Check.Ok
                     ? QStringLiteral("The report's end, ") + Given +
                           QStringLiteral(", agrees with the end of the readings, ") + Readings
                     : QStringLiteral("The report gives the end as ") + Given +
                           QStringLiteral(", but the readings end at ") + Readings;
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

// Judged on the result as it is reported, in the level's own unit: 3.95 pCi/L is 4.0, at the
// EPA action level.
TCheck ActionLevel(const TReadings& R, const TFigures& F, const TCriteria& Criteria, TUnit Unit) {
    TCheck Check{QStringLiteral("action_level"), std::nullopt, {}};
    const TMean Value = Result(R, F, Criteria.PostMitigation);
    const QString Level = ReferenceLevels::ForPeople(Criteria.Level, Unit);
    if (!Value.Known()) {
        Check.Text =
            (Criteria.PostMitigation ? QStringLiteral("No reading follows the first 24 hours")
                                     : QStringLiteral("The report gives no EPA Protocol figure")) +
            QStringLiteral(", so the result cannot be placed against ") + Level;
        return Check;
    }
    const bool Above =
        ReferenceLevels::Band(Criteria.Level, Value.Sum, static_cast<std::uint32_t>(Value.Count)) ==
        TLevelBand::AtOrAbove;
    Check.Ok = !Above;
    QString Name = ResultName(Criteria.PostMitigation);
    Name[0] = Name[0].toUpper();
    Check.Text = Name + u' ' + Value.ForPeople(Unit) +
                 (Above ? QStringLiteral(" is at or above ") : QStringLiteral(" is below ")) +
                 Level;
    return Check;
}

} // namespace

int FirstHoursValues(int IntervalMinutes, int Hours) {
    if (IntervalMinutes <= 0)
        return 0;
    return (Hours * 60 + IntervalMinutes - 1) / IntervalMinutes;
}

int ValuesLeftOut(int IntervalMinutes, bool PostMitigation) {
    return FirstHoursValues(IntervalMinutes, PostMitigation ? AfterMitigationHours : 4);
}

TFigures Figures(const TReadings& Readings) {
    TFigures F;
    F.Count = static_cast<int>(Readings.Values.size());
    if (Readings.IntervalMinutes > 0)
        F.Minutes = static_cast<qint64>(F.Count) * Readings.IntervalMinutes;
    const int Skipped = FirstHoursValues(Readings.IntervalMinutes);
    const int SkippedAfterMitigation =
        FirstHoursValues(Readings.IntervalMinutes, AfterMitigationHours);
    const bool Timed = Readings.IntervalMinutes > 0;
    // In millionths of a pCi/L: exact, and no decimal arithmetic per value.
    std::int64_t All = 0, After4h = 0, After24h = 0, Max = 0, Min = 0;
    for (int i = 0; i < F.Count; ++i) {
        const TReadingValue& Value = Readings.Values[static_cast<size_t>(i)];
        F.EventsT += Value.HasEvent('T') ? 1 : 0;
        F.EventsP += Value.HasEvent('P') ? 1 : 0;
        if (!Value.Valid())
            continue;
        ++F.Valid;
        const std::int64_t Micro = Value.Micro();
        All += Micro;
        ++F.MeanAll.Count;
        if (Timed && i >= Skipped) {
            After4h += Micro;
            ++F.MeanAfter4h.Count;
        }
        if (Timed && i >= SkippedAfterMitigation) {
            After24h += Micro;
            ++F.MeanAfter24h.Count;
        }
        if (F.MaxK == 0 || Micro < Min)
            Min = Micro;
        if (F.MaxK == 0 || Micro > Max) {
            Max = Micro;
            F.MaxK = i + 1;
        }
    }
    constexpr int Decimals = TReadingValue::MicroDecimals;
    F.MeanAll.Sum = TDecimal::FromScaled(All, Decimals);
    F.MeanAfter4h.Sum = TDecimal::FromScaled(After4h, Decimals);
    F.MeanAfter24h.Sum = TDecimal::FromScaled(After24h, Decimals);
    if (F.MaxK > 0)
        F.Max = *Readings.Values[static_cast<size_t>(F.MaxK - 1)].PciL();
    F.Min = TDecimal::FromScaled(Min, Decimals);
    return F;
}

TMean Result(const TReadings& Readings, const TFigures& Figures, bool PostMitigation) {
    if (PostMitigation)
        return Figures.MeanAfter24h;
    if (!Readings.InstrumentEpaProtocol)
        return {};
    return {*Readings.InstrumentEpaProtocol, 1};
}

QString ResultName(bool PostMitigation) {
    return PostMitigation ? QStringLiteral("mean without the first 24 hours")
                          : QStringLiteral("EPA protocol average");
}

std::vector<TCheck> Checks(const TReadings& Readings, const TFigures& Figures,
                           const TCriteria& Criteria, TUnit Unit, const QLocale& Locale) {
    return {
        Duration(Figures),
        EndAgrees(Readings, Locale),
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
        CalibrationCheck(Readings, Criteria.Calibration, Locale),
        ActionLevel(Readings, Figures, Criteria, Unit),
    };
}

TVerdict Verdict(const std::vector<TCheck>& Checks) {
    // What a check that did not pass means for the test, briefly: failed, then undecided.
    struct TPoint {
        const char* Id;
        bool Decides; // false: only ever a point to review
        const char* Failed;
        const char* Undecided;
    };
    static const TPoint Points[] = {
        {"duration_48h", true, "it lasted less than 48 hours", "its duration is unknown"},
        {"end_agrees", true, "the report's end differs from the end of the readings",
         "the report gives no end to compare"},
        {"all_valid", true, "some values are not readings", nullptr},
        {"no_events", false, "events are marked", nullptr},
        {"agrees_overall_avg", true, "the mean differs from the instrument's Overall Avg",
         "the instrument's Overall Avg cannot be compared"},
        {"agrees_epa_protocol", true, "the mean differs from the instrument's EPA Protocol",
         "the instrument's EPA Protocol cannot be compared"},
        {"calibration", true, "the monitor was not calibrated in the 12 months before",
         "the monitor's calibration date is unknown"},
    };
    TVerdict Verdict;
    Verdict.Valid = true;
    bool DurationPassed = false;
    QStringList Named;
    for (const TCheck& Check : Checks) {
        const auto Point = std::find_if(std::begin(Points), std::end(Points),
                                        [&](const TPoint& P) { return Check.Id == P.Id; });
        if (Point == std::end(Points))
            continue;
        if (Check.Id == QLatin1String("duration_48h"))
            DurationPassed = Check.Ok == true;
        if (Check.Ok == true)
            continue;
        if (Point->Decides && Check.Ok == false)
            Verdict.Valid = false;
        else
            Verdict.Review = true;
        const char* Phrase = Check.Ok.has_value() ? Point->Failed : Point->Undecided;
        Named << QLatin1String(Phrase ? Phrase : Point->Failed);
    }
    Verdict.Valid = Verdict.Valid && DurationPassed;
    const QString List = Named.join(QStringLiteral("; "));
    if (!Verdict.Valid)
        Verdict.Text = QStringLiteral("Not a valid test: ") + List;
    else if (Verdict.Review)
        Verdict.Text = QStringLiteral("Valid test, with points to review: ") + List;
    else
        Verdict.Text = QStringLiteral("Valid test");
    return Verdict;
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
