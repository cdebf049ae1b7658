#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

// The simulated instrument's printout: between its first and its last separator the title,
// the four bare captions, the readings table with its summary, and the character graph, one
// reading per interval; two closing lines after the last separator. Deterministic: the same
// options give the same bytes.
namespace SimPrintout {

struct TOptions {
    int Hours = 48;
    // 0: derived from Hours.
    uint32_t Seed = 0;
    // The control bytes 15, 19, 29, 31 and 255 around the title and the graph.
    bool Control = true;
    // CR LF line ends instead of the instrument's bare CR.
    bool CrLf = false;
};

// Readings in tenths of a pCi/l, one per hour, optionally prefixed by event letters.
struct TReading {
    int Tenths = 0;
    QByteArray Events;
};

constexpr int MaxHours = 9999;
constexpr int ReadingsPerLine = 8;
inline const char* const ScaleLine = "   |-+-|-+-|-+-|-+-|-+-|-+-|-+-|-+-|";
constexpr int GraphWidth = 32;

std::vector<TReading> Readings(const TOptions& Options);
QByteArray Generate(const TOptions& Options);

} // namespace SimPrintout
