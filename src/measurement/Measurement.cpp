#include "measurement/Measurement.h"

#include "platform/DateTimeText.h"
#include "platform/JsonText.h"

#include <QStringList>

namespace Measurement {

namespace {

QString Latin1(const std::string& Bytes) {
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

// Quoted as RFC 4180 asks when it holds a comma, a quote or a line break.
// UTF-8, quoted as RFC 4180 asks when it holds a comma, a quote or a line break.
void AppendCsvField(QByteArray& Out, const std::string& Latin1Text) {
    const bool Quoted = Latin1Text.find_first_of(",\"\r\n") != std::string::npos;
    if (Quoted)
        Out += '"';
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

} // namespace

QString Verdict(const std::optional<bool>& Ok) {
    if (!Ok)
        return QStringLiteral("Undecided");
    return *Ok ? QStringLiteral("Passed") : QStringLiteral("Failed");
}

TMeasurement Measure(const QStringList& Lines, const TCalibrationDates& Calibration, TUnit Unit,
                     const QLocale& Locale, const QTimeZone& Zone) {
    TMeasurement Result;
    Result.Readings = Readings::Read(Lines, Locale, Zone);
    Result.Figures = Summary::Figures(Result.Readings);
    if (Result.Readings.Refusal.isEmpty())
        Result.Checks = Summary::Checks(Result.Readings, Result.Figures, Calibration, Unit, Locale);
    return Result;
}

QString ForPeople(const TMeasurement& M, TUnit Unit, const QLocale& Locale) {
    const TReadings& R = M.Readings;
    const TFigures& F = M.Figures;
    if (!R.Refusal.isEmpty() || F.Count == 0)
        return Readings::NoTable + u'\n';
    const QString Unknown = QStringLiteral("unknown");

    QString Out;
    Out +=
        Line(QStringLiteral("Readings"), QStringLiteral("%1 (%2 valid)").arg(F.Count).arg(F.Valid));
    Out += Line(QStringLiteral("Interval"),
                R.IntervalMinutes > 0 ? Summary::DurationForPeople(R.IntervalMinutes) : Unknown);
    Out += Line(QStringLiteral("Start"),
                R.Start.isValid() ? DateTimeText::FormatDate(R.Start.date(), Locale) + u' ' +
                                        DateTimeText::ReportTime(R.Start.time(), Locale)
                                  : Unknown);
    Out += Line(QStringLiteral("Duration"),
                F.Minutes ? Summary::DurationForPeople(*F.Minutes) : Unknown);
    Out += Line(QStringLiteral("Mean of all readings"),
                F.MeanAll.Known() ? F.MeanAll.ForPeople(Unit) : Unknown);
    Out += Line(QStringLiteral("Mean without the first 4 hours"),
                F.MeanAfter4h.Known() ? F.MeanAfter4h.ForPeople(Unit) : Unknown);
    Out += Line(QStringLiteral("Highest reading"),
                F.MaxK > 0 ? Units::BothForPeople(F.Max, 1, Unit) +
                                 QStringLiteral(", value %1").arg(F.MaxK)
                           : Unknown);
    Out += Line(QStringLiteral("Events"),
                QStringLiteral("T on %1 values, P on %2 values").arg(F.EventsT).arg(F.EventsP));
    const auto Instrument = [&](const std::optional<TDecimal>& Value) {
        return Value ? Units::BothForPeople(*Value, 1, Unit) : Unknown;
    };
    Out += Line(QStringLiteral("Instrument's Overall Avg"), Instrument(R.InstrumentOverallAvg));
    Out += Line(QStringLiteral("Instrument's EPA Protocol"), Instrument(R.InstrumentEpaProtocol));
    Out += QStringLiteral("\nChecks:\n");
    for (const TCheck& Check : M.Checks)
        Out +=
            QStringLiteral("  ") + Verdict(Check.Ok).leftJustified(9) + u' ' + Check.Text + u'\n';
    return Out;
}

QByteArray Json(const TMeasurement& M) {
    const TReadings& R = M.Readings;
    const TFigures& F = M.Figures;
    QByteArray Out = "{\n  \"interval_minutes\": ";
    Out += R.IntervalMinutes > 0 ? QByteArray::number(R.IntervalMinutes) : QByteArray("null");
    Out += ",\n  \"start\": ";
    Out += R.Start.isValid() ? JsonText::String(Readings::Timestamp(R.Start)) : QByteArray("null");
    Out += ",\n  \"readings\": [";
    for (size_t i = 0; i < R.Values.size(); ++i) {
        const TReadingValue& Value = R.Values[i];
        Out += i == 0 ? "\n    " : ",\n    ";
        Out += "{\"k\": " + QByteArray::number(static_cast<qulonglong>(i + 1)) +
               ", \"text\": " + JsonText::String(Latin1(Value.Text)) +
               ", \"pCi_L\": " + JsonDecimal(Value.PciL) +
               ", \"events\": " + JsonText::String(Latin1(Value.Events)) + '}';
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
    Out += M.Checks.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return Out;
}

QByteArray Csv(const TReadings& R) {
    const QByteArray End = "\r\n";
    QByteArray Out = "interval,time,radon_pci_l,radon_bq_m3,events" + End;
    const std::vector<QByteArray> Times = Readings::IntervalTimestamps(R);
    Out.reserve(Out.size() + static_cast<qsizetype>(R.Values.size()) * 48);
    for (size_t i = 0; i < R.Values.size(); ++i) {
        const TReadingValue& Value = R.Values[i];
        Out += QByteArray::number(static_cast<qulonglong>(i + 1));
        Out += ',';
        Out += Times[i];
        Out += ',';
        AppendCsvField(Out, Value.Text);
        Out += ',';
        if (Value.PciL)
            Out += Units::Rounded(*Value.PciL, 1, TUnit::BqM3).Text();
        Out += ',';
        AppendCsvField(Out, Value.Events);
        Out += End;
    }
    return Out;
}

} // namespace Measurement
