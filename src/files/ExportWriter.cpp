#include "files/ExportWriter.h"

#include "measurement/ReadingsTable.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"

#include <algorithm>
#include <string>

namespace ExportWriter {

namespace {

const QByteArray LineEnd("\r\n");

} // namespace

QByteArray BuildExport(const QStringList& Lines) {
    const ReadingsTable::TLandmarks L = ReadingsTable::FindLandmarks(Lines);
    const QString Missing = ReadingsTable::MissingLandmark(L);
    if (!Missing.isEmpty())
        throw Exception(QStringLiteral("Cannot export the report: ") + Missing);

    // With the summary right under the heading, head and tail would share lines; each is
    // written once.
    const qsizetype HeadEnd = L.T + 1;
    const qsizetype TailBegin = std::max(L.A - 1, HeadEnd + 1);

    QByteArray Out;
    for (qsizetype i = 0; i <= HeadEnd; ++i)
        Out += Lines.at(i).toLatin1() + LineEnd;

    const ReadingsTable::TCut Table = ReadingsTable::Cut(Lines, L);
    std::string Interval("Interval\t");
    std::string Reading("pCi/l\t");
    std::string Event("Event\t");
    int N = 1;
    for (const ReadingsTable::TValue& Value : Table.Values) {
        Interval += std::to_string(N++) + '\t';
        Reading += Value.Text + '\t';
        Event += Value.Events + '\t';
    }
    Reading += Table.TrailingText;
    Event += Table.TrailingEvents;
    for (const std::string* Row : {&Interval, &Reading, &Event})
        Out += QByteArray::fromStdString(*Row) + LineEnd;

    for (qsizetype i = TailBegin; i <= L.E; ++i)
        Out += Lines.at(i).toLatin1() + LineEnd;
    return Out;
}

void WriteExport(const QString& Path, const QStringList& Lines) {
    const QByteArray Bytes = BuildExport(Lines);
    AtomicWrite::ReplaceFile(Path, Bytes);
}

} // namespace ExportWriter
