#include "measurement/Measurement.h"

#include "platform/DateTimeText.h"
#include "platform/JsonText.h"

#include <QStringList>
#include <string_view>

namespace Measurement {

namespace {

QString Latin1(std::string_view Bytes) {
    return QString::fromLatin1(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
}

QByteArray JsonNumber(double Value) {
    return QByteArray::number(Value, 'g', QLocale::FloatingPointShortest);
}

QByteArray JsonDecimal(const std::optional<TDecimal>& Value) {
    return Value ? QByteArray::fromStdString(Value->Text()) : QByteArray("null");
}

QByteArray JsonMean(const TMean& Mean) {
    return Mean.Known() ? JsonNumber(Mean.Value()) : QByteArray("null");
}

QByteArray JsonBool(const std::optional<bool>& Value) {
    return Value ? QByteArray(*Value ? "true" : "false") : QByteArray("null");
}

// UTF-8, quoted as RFC 4180 asks when it holds a comma, a quote or a line break.
void AppendCsvField(QByteArray& Out, std::string_view Latin1Text) {
    const bool Quoted = Latin1Text.find_first_of(",\"\r\n") != std::string_view::npos;
    if (Quoted)
        Out += '"';
    const std::string_view Formula = "=+-@";
    if (!Latin1Text.empty() && Formula.find(Latin1Text.front()) != std::string_view::npos &&
        !TDecimal::Parse(Latin1Text))
        Out += '\'';
    for (const char Char : Latin1Text) {
        const auto Byte = static_cast<unsigned char>(Char);
        if (Byte >= 0x80) {
            Out += static_cast<char>(0xC0 | Byte >> 6);
            Out += static_cast<char>(0x80 | (Byte & 0x3F));
        } else {
            Out += Char;
            if (Char == '"')
                Out += Char;
        }
    }
    if (Quoted)
        Out += '"';
}

QString Line(const QString& Label, const QString& Value) {
    return Label + QStringLiteral(": ") + Value + u'\n';
}

QString Plural(qint64 Count, const char* One, const char* Many) {
    return QString::number(Count) + u' ' + QLatin1String(Count == 1 ? One : Many);
}

} // namespace

QString Mark(const TCheck& Check) {
    if (!Check.Ok)
        return QStringLiteral("Undecided");
    if (Check.Id == QLatin1String("action_level"))
        return *Check.Ok ? QStringLiteral("Below") : QStringLiteral("At or above");
    // Events make a point to review, not a failed test.
    if (Check.Id == QLatin1String("no_events") && !*Check.Ok)
        return QStringLiteral("Review");
    return *Check.Ok ? QStringLiteral("Passed") : QStringLiteral("Failed");
}

TMeasurement Measure(const QStringList& Lines, const TCriteria& Criteria, TUnit Unit,
                     const QLocale& Locale, const QTimeZone& Zone) {
    TMeasurement Result;
    Result.Criteria = Criteria;
    Result.Readings = Readings::Read(Lines, Locale, Zone);
    Result.Figures = Summary::Figures(Result.Readings);
    if (Result.Readings.Refusal.isEmpty()) {
        Result.Checks = Summary::Checks(Result.Readings, Result.Figures, Criteria, Unit, Locale);
        Result.Verdict = Summary::Verdict(Result.Checks);
    }
    return Result;
}

TMean Result(const TMeasurement& M) {
    return Summary::Result(M.Readings, M.Figures, M.Criteria.PostMitigation);
}

std::optional<TLevelBand> Band(const TMeasurement& M) {
    const TMean Value = Result(M);
    if (!Value.Known())
        return std::nullopt;
    return ReferenceLevels::Band(M.Criteria.Level, Value.Sum,
                                 static_cast<std::uint32_t>(Value.Count));
}

QString ResultHeadline(const TMeasurement& M) {
    const std::optional<TLevelBand> At = Band(M);
    if (!At)
        return {};
    return *At == TLevelBand::AtOrAbove ? QStringLiteral("At or above the reference level")
                                        : QStringLiteral("Below the reference level");
}

QString ForPeople(const TMeasurement& M, TUnit Unit, const QLocale& Locale) {
    const TReadings& R = M.Readings;
    const TFigures& F = M.Figures;
    if (!R.Refusal.isEmpty() || F.Count == 0)
        return Readings::NoTable + u'\n';
    const QString Unknown = QStringLiteral("unknown");
    const auto Time = [&Locale, &Unknown](const QDateTime& At) {
        return At.isValid() ? DateTimeText::FormatDateTime(At, Locale) : Unknown;
    };

    QString Out;
    Out += Line(
        QStringLiteral("Readings"),
        F.Valid == F.Count
            ? QString::number(F.Count) +
                  (F.Count == 1 ? QStringLiteral(", a valid one") : QStringLiteral(", all valid"))
            : QStringLiteral("%1, %2 of them not a reading").arg(F.Count).arg(F.Count - F.Valid));
    Out += Line(QStringLiteral("Interval"),
                R.IntervalMinutes > 0 ? Summary::DurationForPeople(R.IntervalMinutes) : Unknown);
    Out += Line(QStringLiteral("Start"), Time(R.Start));
    Out += Line(QStringLiteral("End"), Time(Readings::End(R)));
    Out += Line(QStringLiteral("Duration"),
                F.Minutes ? Summary::DurationForPeople(*F.Minutes) : Unknown);
    Out += Line(QStringLiteral("Mean of all readings"),
                F.MeanAll.Known() ? F.MeanAll.ForPeople(Unit) : Unknown);
    Out += Line(QStringLiteral("Mean without the first 4 hours"),
                F.MeanAfter4h.Known() ? F.MeanAfter4h.ForPeople(Unit) : Unknown);
    if (M.Criteria.PostMitigation)
        Out += Line(QStringLiteral("Mean without the first 24 hours"),
                    F.MeanAfter24h.Known() ? F.MeanAfter24h.ForPeople(Unit) : Unknown);
    QString Highest = Unknown;
    if (F.MaxK > 0) {
        const QDateTime At = Readings::IntervalStart(R, F.MaxK);
        Highest = Units::BothForPeople(F.Max, 1, Unit) +
                  (At.isValid() ? QStringLiteral(" at ") + Time(At)
                                : QStringLiteral(" in interval %1").arg(F.MaxK));
    }
    Out += Line(QStringLiteral("Highest reading"), Highest);
    QStringList Events;
    if (F.EventsT > 0)
        Events << QStringLiteral("T on ") + Plural(F.EventsT, "value", "values");
    if (F.EventsP > 0)
        Events << QStringLiteral("P on ") + Plural(F.EventsP, "value", "values");
    Out += Line(QStringLiteral("Events"),
                Events.isEmpty() ? QStringLiteral("none") : Events.join(QStringLiteral(", ")));
    const auto Instrument = [&](const std::optional<TDecimal>& Value) {
        return Value ? Units::BothForPeople(*Value, 1, Unit) : Unknown;
    };
    Out += Line(QStringLiteral("Instrument's Overall Avg"), Instrument(R.InstrumentOverallAvg));
    Out += Line(QStringLiteral("Instrument's EPA Protocol"), Instrument(R.InstrumentEpaProtocol));
    const TMean Value = Result(M);
    Out += Line(QStringLiteral("Result"),
                Value.Known()
                    ? Value.ForPeople(Unit) +
                          (Band(M) == TLevelBand::AtOrAbove ? QStringLiteral(", at or above ")
                                                            : QStringLiteral(", below ")) +
                          ReferenceLevels::ForPeople(M.Criteria.Level, Unit)
                    : Unknown);
    Out += u'\n' + M.Verdict.Text + u'\n';
    Out += QStringLiteral("\nChecks:\n");
    for (const TCheck& Check : M.Checks)
        Out += QStringLiteral("  ") + Mark(Check).leftJustified(11) + u' ' + Check.Text + u'\n';
    return Out;
}

QByteArray Json(const TMeasurement& M) {
    const TReadings& R = M.Readings;
    const TFigures& F = M.Figures;
    QByteArray Out = "{\n  \"interval_minutes\": ";
    Out += R.IntervalMinutes > 0 ? QByteArray::number(R.IntervalMinutes) : QByteArray("null");
    Out += ",\n  \"start\": ";
    Out += R.Start.isValid() ? JsonText::String(Readings::Timestamp(R.Start)) : QByteArray("null");
    const QDateTime End = Readings::End(R);
    Out += ",\n  \"end\": ";
    Out += End.isValid() ? JsonText::String(Readings::Timestamp(End)) : QByteArray("null");
    Out += ",\n  \"readings\": [";
    for (size_t i = 0; i < R.Values.size(); ++i) {
        const TReadingValue& Value = R.Values[i];
        Out += i == 0 ? "\n    " : ",\n    ";
        Out += "{\"k\": " + QByteArray::number(static_cast<qulonglong>(i + 1)) +
               ", \"text\": " + JsonText::String(Latin1(Value.Text())) +
               ", \"pCi_L\": " + JsonDecimal(Value.PciL()) +
               ", \"events\": " + JsonText::String(Latin1(Value.Events())) + '}';
    }
    Out += R.Values.empty() ? "]" : "\n  ]";
    const std::optional<double> Hours = F.Hours();
    const std::pair<const char*, QByteArray> Summary[] = {
        {"count", QByteArray::number(F.Count)},
        {"valid", QByteArray::number(F.Valid)},
        {"hours", Hours ? JsonNumber(*Hours) : QByteArray("null")},
        {"mean_all", JsonMean(F.MeanAll)},
        {"mean_after_4h", JsonMean(F.MeanAfter4h)},
        {"max", F.MaxK > 0 ? JsonDecimal(F.Max) : QByteArray("null")},
        {"max_k", F.MaxK > 0 ? QByteArray::number(F.MaxK) : QByteArray("null")},
        {"events_T", QByteArray::number(F.EventsT)},
        {"events_P", QByteArray::number(F.EventsP)},
        {"instrument_overall_avg", JsonDecimal(R.InstrumentOverallAvg)},
        {"instrument_epa_protocol", JsonDecimal(R.InstrumentEpaProtocol)},
    };
    Out += ",\n  \"summary\": {";
    for (const auto& [Key, Value] : Summary)
        Out +=
            QByteArray(Key == Summary[0].first ? "\n    \"" : ",\n    \"") + Key + "\": " + Value;
    Out += "\n  },\n  \"checks\": [";
    for (size_t i = 0; i < M.Checks.size(); ++i) {
        const TCheck& Check = M.Checks[i];
        Out += i == 0 ? "\n    " : ",\n    ";
        Out += "{\"id\": " + JsonText::String(Check.Id) + ", \"ok\": " + JsonBool(Check.Ok) +
               ", \"text\": " + JsonText::String(Check.Text) + '}';
    }
    Out += M.Checks.empty() ? "]" : "\n  ]";
    Out += ",\n  \"verdict\": {\"valid\": ";
    Out += M.Verdict.Valid ? "true" : "false";
    Out += ", \"review\": ";
    Out += M.Verdict.Review ? "true" : "false";
    Out += ", \"text\": " + JsonText::String(M.Verdict.Text) + "}\n}\n";
    return Out;
}

QByteArray Csv(const TReadings& R) {
    const QByteArray End = "\r\n";
    QByteArray Out = "interval,time,date,clock,radon_pci_l,radon_bq_m3,events" + End;
    // Every interval starts at the start's second, the offsets being whole minutes.
    const bool Seconds = R.Start.isValid() && R.Start.time().second() != 0;
    const std::vector<QByteArray> Times = Readings::IntervalTimestamps(R);
    Out.reserve(Out.size() + static_cast<qsizetype>(R.Values.size()) * 64);
    for (size_t i = 0; i < R.Values.size(); ++i) {
        const TReadingValue& Value = R.Values[i];
        Out += QByteArray::number(static_cast<qulonglong>(i + 1));
        Out += ',';
        const QByteArray& Time = Times[i];
        Out += Time;
        Out += ',';
        // "2026-03-05T16:05:09-06:00": the date and the clock are its first parts.
        if (!Time.isEmpty()) {
            Out += Time.left(10);
            Out += ',';
            Out += Time.mid(11, Seconds ? 8 : 5);
            Out += ',';
        } else {
            Out += ",,";
        }
        AppendCsvField(Out, Value.Text());
        Out += ',';
        if (Value.Valid())
            Out += Units::Rounded(*Value.PciL(), 1, TUnit::BqM3).Text();
        Out += ',';
        AppendCsvField(Out, Value.Events());
        Out += End;
    }
    return Out;
}

} // namespace Measurement
