#include "report/ReportBuilder.h"

#include "platform/DateTimeText.h"
#include "report/CaptureText.h"
#include "report/StreamConventions.h"

#include <algorithm>
#include <iterator>

namespace SC = StreamConventions;

namespace {

bool IsDiscarded(unsigned char Byte) {
    return std::find(std::begin(SC::Discarded), std::end(SC::Discarded), Byte) !=
           std::end(SC::Discarded);
}

// Appends the completed line, a bare caption turned into its label line(s).
void CompleteLine(const QString& Line, const TReportInfo& Info, const QLocale& Locale,
                  QStringList& Out) {
    const bool On = Info.Enabled;
    if (Line == SC::CaptionSerial) {
        Out << SC::LabelSerial + (On ? Info.SerialNumber : QString());
    } else if (Line == SC::CaptionStartDate) {
        Out << SC::LabelStartDate +
                   (On ? DateTimeText::FormatDate(Info.StartDate.date(), Locale) : QString());
    } else if (Line == SC::CaptionStartTime) {
        Out << SC::LabelStartTime +
                   (On ? DateTimeText::ReportTime(Info.StartTime.time(), Locale) : QString());
        Out << SC::LabelEndDate +
                   (On ? DateTimeText::FormatDate(Info.EndDate.date(), Locale) : QString());
        Out << SC::LabelEndTime +
                   (On ? DateTimeText::ReportTime(Info.EndTime.time(), Locale) : QString());
    } else if (Line == SC::CaptionLocation) {
        Out << SC::LabelLocation + (On ? Info.Location : QString());
    } else {
        Out << Line;
    }
}

// Copies the line under the graph's lower frame to two lines above its upper frame. Lists
// without two frames, or with a frame at either end, are left alone.
void FixUpGraph(QStringList& Lines) {
    const qsizetype First = Lines.indexOf(SC::ScaleLine);
    const qsizetype Last = Lines.lastIndexOf(SC::ScaleLine);
    if (First < 1 || Last == First || Last + 1 >= Lines.size())
        return;
    Lines.insert(First - 1, Lines.at(Last + 1));
}

} // namespace

QStringList BuildReport(const QByteArray& DownloadText, const TReportInfo& Info,
                        const QLocale& Locale) {
    QStringList Lines;
    if (Info.Enabled)
        Lines << Info.Header;

    QString Current;
    for (const char Char : DownloadText) {
        const auto Byte = static_cast<unsigned char>(Char);
        if (Char == SC::LineEnd) {
            CompleteLine(Current, Info, Locale, Lines);
            Current.clear();
        } else if (Char == SC::Tilde) {
            Current += QLatin1Char(SC::TildeShownAs);
        } else if (!IsDiscarded(Byte)) {
            Current += QChar(Byte);
        }
    }
    // What follows the last carriage return belongs to no line.

    if (Info.Enabled && !Info.Footer.isEmpty())
        Lines << Info.Footer << QString() << QString();

    FixUpGraph(Lines);

    for (int i = 0; i < 2 && !Lines.isEmpty(); ++i)
        Lines.removeLast();
    return Lines;
}

QStringList BuildReportFromBytes(const QByteArray& Received, const TReportInfo& Info, bool Whole) {
    const QByteArray Text = CaptureText::DownloadText(Whole ? Received : Received + "\r\r");
    return Text.isEmpty() ? QStringList() : BuildReport(Text, Info);
}
