#include "info/InfoFile.h"

#include "platform/AtomicWrite.h"
#include "platform/DateTimeText.h"
#include "platform/Exception.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"

#include <QDir>

namespace InfoFile {

namespace {

class TLineReader {
public:
    explicit TLineReader(const QByteArray& Contents) : FData(Contents) {}
    bool AtEnd() const { return FPos >= FData.size(); }
    int LinesLeft() const {
        if (AtEnd())
            return 0;
        const int n = int(QByteArrayView(FData).sliced(FPos).count('\n'));
        return FData.endsWith('\n') ? n : n + 1;
    }
    QString Next() {
        qsizetype end = FData.indexOf('\n', FPos);
        if (end < 0)
            end = FData.size();
        QByteArray line = FData.mid(FPos, end - FPos);
        if (line.endsWith('\r'))
            line.chop(1);
        FPos = end + 1;
        return QString::fromLatin1(line);
    }

private:
    const QByteArray& FData;
    qsizetype FPos = 0;
};

// Reads "count, then count lines". False stops the reading (with Error set when the count
// itself is not a number).
bool ReadList(TLineReader& In, QStringList& Out, QString& Error) {
    if (In.AtEnd())
        return false;
    const QString text = In.Next();
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok) {
        Error = QStringLiteral("'%1' is not a valid integer value").arg(text);
        return false;
    }
    if (count < 0 || count > In.LinesLeft())
        return false;
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines << In.Next();
    Out = lines;
    return true;
}

bool ReadDateTime(TLineReader& In, QDateTime& Out, QString& Error, const QLocale& Locale) {
    if (In.AtEnd())
        return false;
    const QString text = In.Next();
    try {
        Out = DateTimeText::StrToDateTime(text, Locale);
    } catch (const Exception& e) {
        Error = e.Message;
        return false;
    }
    return true;
}

bool ReadText(TLineReader& In, QString& Out) {
    if (In.AtEnd())
        return false;
    Out = In.Next();
    return true;
}

} // namespace

TReportInfo ReportInfoOf(const TInfoValues& V, bool Enabled) {
    TReportInfo info;
    info.Enabled = Enabled;
    info.Header = V.Header;
    info.Footer = V.Footer;
    info.SerialNumber = V.SNText;
    info.Location = V.Location;
    info.StartDate = V.StartDate;
    info.StartTime = V.StartTime;
    info.EndDate = V.EndDate;
    info.EndTime = V.EndTime;
    return info;
}

TReadResult Parse(const QByteArray& Contents, const QLocale& Locale) {
    TReadResult r;
    TLineReader in(Contents);
    TInfoValues& v = r.Values;
    QDateTime* dates[] = {&v.StartDate, &v.StartTime, &v.EndDate, &v.EndTime};
    if (!ReadList(in, v.SerialNumbers, r.Error))
        return r;
    r.FieldsRead = Header;
    if (!ReadList(in, v.Header, r.Error))
        return r;
    r.FieldsRead = Footer;
    if (!ReadList(in, v.Footer, r.Error))
        return r;
    r.FieldsRead = StartDate;
    for (QDateTime* d : dates) {
        if (!ReadDateTime(in, *d, r.Error, Locale))
            return r;
        ++r.FieldsRead;
    }
    if (!ReadText(in, v.SNText))
        return r;
    r.FieldsRead = Location;
    if (!ReadText(in, v.Location))
        return r;
    r.FieldsRead = FieldCount;
    return r;
}

QByteArray Format(const TInfoValues& Values, const QLocale& Locale) {
    QByteArray out;
    auto line = [&out](const QString& s) {
        out += s.toLatin1();
        out += "\r\n";
    };
    auto list = [&line](const QStringList& l) {
        line(QString::number(l.size()));
        for (const QString& s : l)
            line(s);
    };
    list(Values.SerialNumbers);
    list(Values.Header);
    list(Values.Footer);
    for (const QDateTime* d :
         {&Values.StartDate, &Values.StartTime, &Values.EndDate, &Values.EndTime})
        line(DateTimeText::DateTimeToStr(*d, Locale));
    line(Values.SNText);
    line(Values.Location);
    return out;
}

QString StoredInstallDir() {
    TRegistry reg;
    if (reg.OpenKeyReadOnly(HalvornSettingsKey) && reg.ValueExists(QStringLiteral("InstallDir")))
        return reg.ReadString(QStringLiteral("InstallDir"));
    return QString();
}

QString PathIn(const QString& InstallDir) {
    return InstallDir + QDir::separator() + FileName;
}

void Write(const QString& Path, const TInfoValues& Values, const QLocale& Locale) {
    AtomicWrite::ReplaceFile(Path, Format(Values, Locale));
}

} // namespace InfoFile
