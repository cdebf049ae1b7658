#include "measurement/ReadingsTable.h"

#include "report/StreamConventions.h"

#include <algorithm>
#include <tuple>

namespace SC = StreamConventions;

namespace ReadingsTable {

namespace {

QString Quoted(QLatin1String Text) {
    return QLatin1Char('"') + Text + QLatin1Char('"');
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

std::pair<std::string, std::string>
ForEachValue(const QStringList& Lines, const TLandmarks& Landmarks,
             const std::function<void(size_t Count)>& Reserve,
             const std::function<void(std::string&& Text, std::string&& Events)>& Value) {
    // The table lines joined, one byte a character.
    std::string Joined;
    qsizetype Size = 0;
    for (qsizetype i = Landmarks.T + 2; i <= Landmarks.A - 2; ++i)
        Size += Lines.at(i).size();
    Joined.reserve(static_cast<size_t>(Size));
    for (qsizetype i = Landmarks.T + 2; i <= Landmarks.A - 2; ++i)
        for (const QChar Char : Lines.at(i))
            Joined += Char.unicode() > 255 ? '?' : static_cast<char>(Char.unicode());

    const auto Blank = [](char Char) { return static_cast<unsigned char>(Char) <= 32; };
    size_t Begin = 0;
    size_t End = Joined.size();
    while (Begin < End && Blank(Joined[Begin]))
        ++Begin;
    while (End > Begin && Blank(Joined[End - 1]))
        --End;

    // One walk over the trimmed text and a closing space does what the export's steps do
    // one after the other: a space after a space is dropped (runs collapse), a space after
    // "T" or "P" is dropped (the letters join the value that follows), any other space
    // closes a value.
    const auto Closes = [](char Char, char Previous) {
        return Char == ' ' && Previous != ' ' && Previous != 'T' && Previous != 'P';
    };
    // Counted exactly: a table of spaces alone must not reserve room for millions of values.
    size_t Count = 0;
    char Previous = 0;
    for (size_t i = Begin; i <= End; ++i) {
        const char Char = i < End ? Joined[i] : ' ';
        Count += Closes(Char, Previous) ? 1 : 0;
        Previous = Char;
    }
    Reserve(Count);
    std::string Text, Events;
    Previous = 0;
    for (size_t i = Begin; i <= End; ++i) {
        const char Char = i < End ? Joined[i] : ' ';
        if (Closes(Char, Previous)) {
            Value(std::move(Text), std::move(Events));
            Text.clear();
            Events.clear();
        } else if (Char == 'T' || Char == 'P') {
            Events += Char;
        } else if (Char != ' ') {
            Text += Char;
        }
        Previous = Char;
    }
    return {std::move(Text), std::move(Events)};
}

TCut Cut(const QStringList& Lines, const TLandmarks& Landmarks) {
    TCut Result;
    std::tie(Result.TrailingText, Result.TrailingEvents) = ForEachValue(
        Lines, Landmarks, [&Result](size_t Count) { Result.Values.reserve(Count); },
        [&Result](std::string&& Text, std::string&& Events) {
            Result.Values.push_back({std::move(Text), std::move(Events)});
        });
    return Result;
}

} // namespace ReadingsTable
