#include "files/ExportWriter.h"

#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "report/StreamConventions.h"

#include <algorithm>
#include <string>

namespace SC = StreamConventions;

namespace ExportWriter {

namespace {

const QByteArray LineEnd("\r\n");

struct TLandmarks {
    qsizetype T = -1, A = -1, E = -1;
};

// Each line counts for one landmark at most, the first of the chain it matches.
TLandmarks FindLandmarks(const QStringList& Lines) {
    TLandmarks Found;
    for (qsizetype i = 0; i < Lines.size(); ++i) {
        const QString& Line = Lines.at(i);
        if (Line.contains(SC::LandmarkTimeInterval))
            Found.T = i;
        else if (Line.contains(SC::LandmarkOverallAvg))
            Found.A = i;
        else if (Line.contains(SC::LandmarkEpaProtocol))
            Found.E = i;
    }
    return Found;
}

QString Quoted(QLatin1String Text) {
    return QLatin1Char('"') + Text + QLatin1Char('"');
}

void Refuse(const QString& Reason) {
    throw Exception(QStringLiteral("Cannot export the report: ") + Reason);
}

// The table text: joined, trimmed, one closing space, no double spaces, and the event
// letters joined to the reading that follows them.
std::string TableText(const QStringList& Lines, qsizetype From, qsizetype To) {
    std::string Joined;
    for (qsizetype i = From; i <= To; ++i)
        Joined += Lines.at(i).toLatin1().toStdString();

    const auto Blank = [](char Char) { return static_cast<unsigned char>(Char) <= 32; };
    size_t Begin = 0;
    size_t End = Joined.size();
    while (Begin < End && Blank(Joined[Begin]))
        ++Begin;
    while (End > Begin && Blank(Joined[End - 1]))
        --End;

    std::string Collapsed;
    Collapsed.reserve(End - Begin + 1);
    for (size_t i = Begin; i < End; ++i) {
        if (Joined[i] == ' ' && !Collapsed.empty() && Collapsed.back() == ' ')
            continue;
        Collapsed += Joined[i];
    }
    Collapsed += ' ';

    std::string Text;
    Text.reserve(Collapsed.size());
    for (size_t i = 0; i < Collapsed.size(); ++i) {
        const char Char = Collapsed[i];
        Text += Char;
        if ((Char == 'T' || Char == 'P') && i + 1 < Collapsed.size() && Collapsed[i + 1] == ' ')
            ++i;
    }
    return Text;
}

} // namespace

QByteArray BuildExport(const QStringList& Lines) {
    const TLandmarks L = FindLandmarks(Lines);
    if (L.T < 0)
        Refuse(QStringLiteral("no line contains ") + Quoted(SC::LandmarkTimeInterval) + '.');
    if (L.A < L.T)
        Refuse(QStringLiteral("no line after the ") + Quoted(SC::LandmarkTimeInterval) +
               QStringLiteral(" line contains ") + Quoted(SC::LandmarkOverallAvg) + '.');
    if (L.E < L.A)
        Refuse(QStringLiteral("no line after the ") + Quoted(SC::LandmarkOverallAvg) +
               QStringLiteral(" line contains ") + Quoted(SC::LandmarkEpaProtocol) + '.');

    // With the summary right under the heading, head and tail would share lines; each is
    // written once.
    const qsizetype HeadEnd = L.T + 1;
    const qsizetype TailBegin = std::max(L.A - 1, HeadEnd + 1);

    QByteArray Out;
    for (qsizetype i = 0; i <= HeadEnd; ++i)
        Out += Lines.at(i).toLatin1() + LineEnd;

    const std::string Table = TableText(Lines, L.T + 2, L.A - 2);
    std::string Interval("Interval\t");
    std::string Reading("pCi/l\t");
    std::string Event("Event\t");
    Reading.reserve(Reading.size() + Table.size());
    int N = 1;
    for (const char Char : Table) {
        if (Char == 'T' || Char == 'P') {
            Event += Char;
        } else if (Char == ' ') {
            Reading += '\t';
            Event += '\t';
            Interval += std::to_string(N++);
            Interval += '\t';
        } else {
            Reading += Char;
        }
    }
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
