#pragma once

#include "Printout.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

struct TSimPause {
    qint64 AfterByte = 0;
    int Milliseconds = 0;
};

struct TSimOptions {
    QString File;
    SimPrintout::TOptions Printout;
    int Baud = 1200;
    bool Unpaced = false;
    int DelayMs = 0;
    std::vector<TSimPause> Pauses; // sorted by AfterByte
    int ComPort = 0;               // 0: not recorded in the key store
    bool KeepCom = false;          // leave the COMn entry when ending
    std::optional<int> LingerMs;   // unset: until a stop signal
    bool Print = false;
    bool Help = false;
};

// Throws TSimUsageError for anything that is not a valid option or value.
struct TSimUsageError {
    QString Message;
};

TSimOptions ParseSimOptions(const QStringList& Arguments);
QString SimUsage();
