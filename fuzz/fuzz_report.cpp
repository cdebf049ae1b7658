// Arbitrary received bytes through the builder, then the rebuild of what it made.
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"
#include "report/StreamConventions.h"

#include <QLocale>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool LabelOnSeparator(const QStringList& Lines) {
    namespace SC = StreamConventions;
    for (const QString& Line : Lines) {
        if (!Line.contains(SC::Separator))
            continue;
        for (const QLatin1String Word : {SC::WordStartDate, SC::WordStartTime, SC::WordEndDate,
                                         SC::WordEndTime, SC::WordSerial, SC::WordLocation})
            if (Line.contains(Word))
                return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size == 0)
        return 0;
    static const QLocale Locale(QLocale::English, QLocale::UnitedStates);
    TReportInfo Info;
    // The first byte picks the information; the rest is the download.
    Info.Enabled = Data[0] & 1;
    if (Data[0] & 2)
        Info.Header << QString(StreamConventions::ScaleLine);
    if (Data[0] & 4)
        Info.Footer << QString(StreamConventions::ScaleLine) << QStringLiteral("footer");
    Info.SerialNumber = QStringLiteral("SN 4410");
    Info.StartDate = Info.StartTime = Info.EndDate = Info.EndTime =
        QDateTime(QDate(2026, 3, 5), QTime(0, 0));
    const QByteArray Download(reinterpret_cast<const char*>(Data + 1),
                              static_cast<qsizetype>(Size - 1));

    const QStringList Lines = BuildReport(Download, Info, Locale);
    const auto Rebuilt = ApplyInfo(Lines, Info, Locale);
    if (Rebuilt && !LabelOnSeparator(Lines)) {
        // Stable, unless a separator line also holds a label word and is renewed away.
        const auto Again = ApplyInfo(*Rebuilt, Info, Locale);
        if (!Again || *Again != *Rebuilt)
            std::abort();
    }
    return 0;
}
