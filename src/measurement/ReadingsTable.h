#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// The readings table of a report and how it is cut into values. The import-friendly export
// and the readings model both go through here, so a value is the same thing in both.
namespace ReadingsTable {

// Line numbers of the last "Time Interval", "Overall Avg" and "EPA Protocol" lines; each
// line counts for the first landmark of that chain it contains. -1: none.
struct TLandmarks {
    qsizetype T = -1, A = -1, E = -1;
};

TLandmarks FindLandmarks(const QStringList& Lines);

// Why the landmarks do not enclose a table, e.g. 'no line after the "Time Interval" line
// contains "Overall Avg".'; empty when they come in their order.
QString MissingLandmark(const TLandmarks& Landmarks);

// One value: its characters, and the event letters that stood before or inside it.
struct TValue {
    std::string Text;
    std::string Events;
};

struct TCut {
    std::vector<TValue> Values;
    // What stands after the last value (letters, and the characters of a reading the
    // table ends in without a space, as in "3.4T"): it belongs to no value.
    std::string TrailingText;
    std::string TrailingEvents;
};

// Cuts the table lines (the second line after "Time Interval" up to the line before the one
// before "Overall Avg") into values: joined, trimmed, runs of spaces as one separator,
// "T" and "P" taken as event letters of the value they stand in or before. An empty table
// still closes one empty value, as the export writes it. Lines are Latin-1 (one byte a
// character); a character above 255 becomes '?'. Needs landmarks in their order.
TCut Cut(const QStringList& Lines, const TLandmarks& Landmarks);

// The same values handed over one by one, for a model that keeps them in its own form:
// Reserve hears first how many come, Value then takes each. Returns what Cut leaves in
// TrailingText and TrailingEvents.
std::pair<std::string, std::string>
ForEachValue(const QStringList& Lines, const TLandmarks& Landmarks,
             const std::function<void(size_t Count)>& Reserve,
             const std::function<void(std::string&& Text, std::string&& Events)>& Value);

} // namespace ReadingsTable
