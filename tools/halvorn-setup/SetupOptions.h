#pragma once

#include <QString>
#include <QStringList>

// The command line of halvorn-setup.
struct TSetupOptions {
    // The folder to store when none is stored yet; empty means ~/Halvorn.
    QString Dir;
    // "Port" to store when none is stored yet; 0 stores 0 (no port).
    int DemoPort = 0;
    bool Quiet = false;
    bool Help = false;
};

struct TSetupUsageError {
    QString Message;
};

// Throws TSetupUsageError.
TSetupOptions ParseSetupOptions(const QStringList& Arguments);
QString SetupUsage();
