#include "files/ReportText.h"

#include "platform/AtomicWrite.h"
#include "platform/Exception.h"

#include <QFile>

namespace ReportText {

QByteArray EncodeText(const QStringList& Lines) {
    return Lines.join(QStringLiteral("\r\n")).toLatin1();
}

QStringList DecodeText(const QByteArray& Bytes) {
    QStringList Lines;
    if (Bytes.isEmpty())
        return Lines;
    qsizetype Start = 0;
    const qsizetype Size = Bytes.size();
    for (qsizetype i = 0; i < Size; ++i) {
        const char Char = Bytes.at(i);
        if (Char != '\r' && Char != '\n')
            continue;
        Lines << QString::fromLatin1(Bytes.constData() + Start, i - Start);
        if (Char == '\r' && i + 1 < Size && Bytes.at(i + 1) == '\n')
            ++i;
        Start = i + 1;
    }
    Lines << QString::fromLatin1(Bytes.constData() + Start, Size - Start);
    return Lines;
}

void WriteReportText(const QString& Path, const QStringList& Lines) {
    const QByteArray Bytes = EncodeText(Lines);
    AtomicWrite::ReplaceFile(Path, Bytes);
}

QStringList ReadReportText(const QString& Path) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot open file ") + Path);
    // Reading one byte past the limit also catches files whose size is not known in advance.
    const QByteArray Bytes = File.read(MemoCapacity + 1);
    if (Bytes.size() > MemoCapacity)
        throw Exception(QStringLiteral("Text exceeds memo capacity"));
    if (File.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot open file ") + Path + QLatin1Char('\n') +
                        File.errorString());
    return DecodeText(Bytes);
}

} // namespace ReportText
