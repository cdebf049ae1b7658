#include "report/ApplyInfo.h"

#include "platform/DateTimeText.h"
#include "report/StreamConventions.h"

namespace SC = StreamConventions;

namespace {

QString RenewLabel(const QString& Line, const TReportInfo& Info, const QLocale& Locale) {
    const bool On = Info.Enabled;
    if (Line.contains(SC::WordStartDate))
        return SC::LabelStartDate +
               (On ? DateTimeText::FormatDate(Info.StartDate.date(), Locale) : QString());
    if (Line.contains(SC::WordStartTime))
        return SC::LabelStartTime +
               (On ? DateTimeText::ReportTime(Info.StartTime.time(), Locale) : QString());
    if (Line.contains(SC::WordEndDate))
        return SC::LabelEndDate +
               (On ? DateTimeText::FormatDate(Info.EndDate.date(), Locale) : QString());
    if (Line.contains(SC::WordEndTime))
        return SC::LabelEndTime +
               (On ? DateTimeText::ReportTime(Info.EndTime.time(), Locale) : QString());
    if (Line.contains(SC::WordSerial))
        return SC::LabelSerial + (On ? Info.SerialNumber : QString());
    if (Line.contains(SC::WordLocation))
        return SC::LabelLocation + (On ? Info.Location : QString());
    return Line;
}

} // namespace

std::optional<QStringList> ApplyInfo(const QStringList& Lines, const TReportInfo& Info,
                                     const QLocale& Locale) {
    qsizetype First = -1;
    qsizetype Last = -1;
    for (qsizetype i = 0; i < Lines.size(); ++i) {
        if (Lines.at(i).contains(SC::Separator)) {
            if (First < 0)
                First = i;
            Last = i;
        }
    }
    if (First < 0)
        return std::nullopt;

    QStringList Out;
    if (Info.Enabled)
        Out << Info.Header;
    Out << QString() << QString();
    for (qsizetype i = First; i <= Last; ++i)
        Out << RenewLabel(Lines.at(i), Info, Locale);
    for (int i = 0; i < 4; ++i)
        Out << QString();
    if (Info.Enabled)
        Out << Info.Footer;
    return Out;
}
