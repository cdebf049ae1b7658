#include "measurement/ReadingsTable.h"

#include "report/StreamConventions.h"

namespace SC = StreamConventions;

namespace ReadingsTable {

namespace {

QString Quoted(QLatin1String Text) {
    return QLatin1Char('"') + Text + QLatin1Char('"');
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

QString MissingLandmark(const TLandmarks& L) {
    if (L.T < 0)
        return QStringLiteral("no line contains ") + Quoted(SC::LandmarkTimeInterval) + '.';
    if (L.A < L.T)
        return QStringLiteral("no line after the ") + Quoted(SC::LandmarkTimeInterval) +
               QStringLiteral(" line contains ") + Quoted(SC::LandmarkOverallAvg) + '.';
    if (L.E < L.A)
        return QStringLiteral("no line after the ") + Quoted(SC::LandmarkOverallAvg) +
               QStringLiteral(" line contains ") + Quoted(SC::LandmarkEpaProtocol) + '.';
    return {};
}

TCut Cut(const QStringList& Lines, const TLandmarks& Landmarks) {
    TCut Result;
    TValue Current;
    for (const char Char : TableText(Lines, Landmarks.T + 2, Landmarks.A - 2)) {
        if (Char == 'T' || Char == 'P') {
            Current.Events += Char;
        } else if (Char == ' ') {
            Result.Values.push_back(std::move(Current));
            Current = TValue();
        } else {
            Current.Text += Char;
        }
    }
    Result.TrailingText = std::move(Current.Text);
    Result.TrailingEvents = std::move(Current.Events);
    return Result;
}

} // namespace ReadingsTable
