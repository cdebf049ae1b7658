#pragma once

#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QString>

namespace TestSupport {

// A pseudo-terminal pair made in the test process: the test writes into the master, the code
// under test opens SlavePath() like a serial device. The slave starts raw (no echo, CR kept),
// and a slave descriptor of our own stays open, so bytes written before the code under test
// opens the line wait for it. CloseMaster() hangs the line up, as pulling a cable does.
class TPty {
public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    bool Ok() const { return FMaster.Valid(); }
    int Master() const { return FMaster.Get(); }
    QString SlavePath() const { return FSlavePath; }

    // Writes all of Data, waiting up to TimeoutMs for room when the line is full. False
    // (with a test failure) when it could not.
    bool Write(const QByteArray& Data, int TimeoutMs = 5000);
    void CloseMaster();

private:
    TFd FMaster;
    TFd FSlave;
    QString FSlavePath;
};

// Number of open descriptors of this process.
int OpenDescriptorCount();

} // namespace TestSupport
