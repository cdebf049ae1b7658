#pragma once

#include "platform/FileDescriptor.h"

#include <QObject>
#include <csignal>
#include <vector>

class QSocketNotifier;

// Turns the signals that ask a program to end (Ctrl+C, a closed terminal, a logout, a
// service stop) into a Qt signal, so a running download ends as Stop ends it and its bytes
// are kept. The handler only writes the signal's number into a pipe; the event loop reads it.
// One watcher at a time; the previous handlers come back when it goes.
class TSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit TSignalWatcher(std::vector<int> Signals, QObject* Parent = nullptr);
    ~TSignalWatcher() override;

    // The first signal that came (0: none yet), for code that polls instead of listening.
    int First() const { return FFirst; }

signals:
    void Received(int Signal);

private:
    void Read();

    std::vector<int> FSignals;
    std::vector<struct sigaction> FPrevious;
    TFd FRead, FWrite;
    QSocketNotifier* FNotifier = nullptr;
    int FFirst = 0;
};
