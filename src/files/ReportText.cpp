#include "files/ReportText.h"

#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"

#include <QFile>
#include <algorithm>
#include <climits>

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

std::optional<QByteArray> ReadAtMost(const QString& Path, qint64 Limit) {
    QFile File(Path);
    if (!File.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw Exception(QStringLiteral("Cannot open file ") + MessageText::Shown(Path, PATH_MAX) +
                        QLatin1Char('\n') + File.errorString());
    return ReadAtMost(File, Path, Limit);
}

std::optional<QByteArray> ReadAtMost(QFile& File, const QString& Path, qint64 Limit) {
    QByteArray Bytes;
    constexpr qint64 Chunk = 1 << 20;
    while (Bytes.size() <= Limit) {
        const qsizetype Before = Bytes.size();
        Bytes.resize(Before + qsizetype(std::min(Chunk, Limit + 1 - Before)));
        const qint64 Got = File.read(Bytes.data() + Before, Bytes.size() - Before);
        if (Got < 0)
            throw Exception(QStringLiteral("Cannot read file ") +
                            MessageText::Shown(Path, PATH_MAX) + QLatin1Char('\n') +
                            File.errorString());
        Bytes.resize(Before + qsizetype(Got));
        if (Got == 0)
            return Bytes;
    }
    return std::nullopt;
}

QString SizeText(qint64 Bytes) {
    return QStringLiteral("%1 MiB").arg(Bytes >> 20);
}

QStringList ReadReportText(const QString& Path) {
    const std::optional<QByteArray> Bytes = ReadAtMost(Path, MemoCapacity);
    if (!Bytes)
        throw Exception(QStringLiteral("Text exceeds memo capacity\n%1 holds more than %2, the "
                                       "most the editor takes")
                            .arg(MessageText::Shown(Path, PATH_MAX), SizeText(MemoCapacity)));
    return DecodeText(*Bytes);
}

} // namespace ReportText
