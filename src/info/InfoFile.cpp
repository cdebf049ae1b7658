#include "info/InfoFile.h"

#include "platform/AtomicWrite.h"
#include "platform/DateTimeText.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
    // The number of the line Next() returns, counted from 1.
    int LineNumber() const { return FLine; }
    QString Next() {
        qsizetype end = FData.indexOf('\n', FPos);
        if (end < 0)
            end = FData.size();
        QByteArray line = FData.mid(FPos, end - FPos);
        if (line.endsWith('\r'))
            line.chop(1);
        FPos = end + 1;
        ++FLine;
        return QString::fromLatin1(line);
    }

private:
    const QByteArray& FData;
    qsizetype FPos = 0;
    int FLine = 1;
};

// Reads "count, then count lines". False stops the reading, with Error set when the count is
// not a number or not a number of lines this file can hold.
bool ReadList(TLineReader& In, QStringList& Out, const char* What, TReadResult& R) {
    if (In.AtEnd())
        return false;
    const int line = In.LineNumber();
    const QString text = In.Next();
    bool ok = false;
    const int count = text.toInt(&ok);
    if (!ok) {
        R.Error = QStringLiteral("line %1: '%2' is not a valid integer value")
                      .arg(line)
                      .arg(MessageText::Shown(text));
    } else if (count < 0) {
        R.Error = QStringLiteral("count %1 on line %2 is not a number of %3")
                      .arg(count)
                      .arg(line)
                      .arg(QLatin1String(What));
    } else if (count > In.LinesLeft()) {
        R.Error = QStringLiteral("count %1 on line %2 is not a number of %3: only %4 lines follow")
                      .arg(count)
                      .arg(line)
                      .arg(QLatin1String(What))
                      .arg(In.LinesLeft());
    }
    if (!R.Error.isEmpty()) {
        R.Line = line;
        return false;
    }
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines << In.Next();
    Out = lines;
    return true;
}

bool ReadDateTime(TLineReader& In, QDateTime& Out, TReadResult& R, const QLocale& Locale) {
    if (In.AtEnd())
        return false;
    const int line = In.LineNumber();
    const QString text = In.Next();
    // An empty line is a date the information never had (the dialog was never opened), as
    // written.
    if (text.isEmpty()) {
        Out = QDateTime();
        return true;
    }
    try {
        Out = DateTimeText::StrToDateTime(text, Locale);
    } catch (const Exception& e) {
        R.Error = QStringLiteral("line %1: %2").arg(line).arg(e.Message);
        R.Line = line;
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

QString FieldName(TField Field) {
    static const char* const Names[FieldCount] = {"serial number list", "header",      "footer",
                                                  "start date",         "start time",  "end date",
                                                  "end time",           "Halvorn S/N", "location"};
    return QLatin1String(Names[Field]);
}

TReadResult Parse(const QByteArray& Contents, const QLocale& Locale) {
    TReadResult r;
    TLineReader in(Contents);
    TReportInfo& v = r.Values;
    QDateTime* dates[] = {&v.StartDate, &v.StartTime, &v.EndDate, &v.EndTime};
    auto read = [&]() -> bool {
        if (!ReadList(in, v.SerialNumbers, "serial numbers", r))
            return false;
        r.FieldsRead = Header;
        if (!ReadList(in, v.Header, "header lines", r))
            return false;
        r.FieldsRead = Footer;
        if (!ReadList(in, v.Footer, "footer lines", r))
            return false;
        r.FieldsRead = StartDate;
        for (QDateTime* d : dates) {
            if (!ReadDateTime(in, *d, r, Locale))
                return false;
            ++r.FieldsRead;
        }
        if (!ReadText(in, v.SerialNumber))
            return false;
        r.FieldsRead = Location;
        if (!ReadText(in, v.Location))
            return false;
        r.FieldsRead = FieldCount;
        return true;
    };
    if (!read() && r.Error.isEmpty())
        r.Line = in.LineNumber();
    return r;
}

QString Problem(const TReadResult& R) {
    if (!R.Error.isEmpty())
        return R.Error;
    if (R.FieldsRead >= FieldCount)
        return QString();
    if (R.Line <= 1)
        return QStringLiteral("the file is empty");
    return QStringLiteral("the file ends after line %1, before its %2")
        .arg(R.Line - 1)
        .arg(FieldName(TField(R.FieldsRead)));
}

QByteArray Format(const TReportInfo& Values, const QLocale& Locale) {
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
    line(Values.SerialNumber);
    line(Values.Location);
    return out;
}

TReadResult ReadFile(const QString& Path, const QLocale& Locale) {
    const QString cannot = QStringLiteral("Cannot read the report information file %1: %2");
    const QString shown = MessageText::Shown(Path, -1);
    // A FIFO or a device would block the reading or never end.
    if (QFileInfo(Path).exists() && !QFileInfo(Path).isFile())
        throw Exception(cannot.arg(shown, QStringLiteral("it is not a regular file")));
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(cannot.arg(shown, file.errorString()));
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw Exception(cannot.arg(shown, file.errorString()));
    if (bytes.size() > MaxFileSize)
        throw Exception(QStringLiteral("The report information file %1 is larger than 1 MiB, the "
                                       "most an information file may hold; it was not read")
                            .arg(shown));
    return Parse(bytes, Locale);
}

QString PathIn(const QString& InstallDir) {
    return InstallDir + QDir::separator() + FileName;
}

void Write(const QString& Path, const TReportInfo& Values, const QLocale& Locale) {
    AtomicWrite::ReplaceFile(Path, Format(Values, Locale));
}

QString KeepUnreadable(const QString& Path) {
    QString target = Path + QStringLiteral(".unreadable");
    // Never over an earlier kept file: rename() here refuses to replace one.
    QFile file(Path);
    for (int n = 2; !file.rename(target); ++n) {
        if (!QFileInfo(target).exists() && !QFileInfo(target).isSymLink())
            throw Exception(QStringLiteral("Cannot keep the unreadable file %1 as %2: %3")
                                .arg(MessageText::Shown(Path, -1), MessageText::Shown(target, -1),
                                     file.errorString()));
        target = Path + QStringLiteral(".unreadable.%1").arg(n);
    }
    return target;
}

} // namespace InfoFile
