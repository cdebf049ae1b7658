#pragma once

#include "report/StreamConventions.h"

#include <QByteArray>
#include <QString>

class TSerialPort;

// One download, driven by a 250 ms timer of its owner: the port is opened, the ticks only
// watch how many bytes wait, and when the count stops growing the queue is drained in pieces
// ending at carriage returns into DownloadText and the port is closed. Knows nothing of
// windows, so the main window and the command-line tool share it.
class TDownload {
public:
    enum class TState { Idle, Listening, Acquiring };

    // A piece and the terminating zero the port's line read adds.
    static constexpr int ReceiveBufferSize = StreamConventions::PieceBytes + 1;
    static constexpr int TickIntervalMs = 250;

    explicit TDownload(TSerialPort& Port);

    // Empties DownloadText and opens the port (ECommError: the state stays as it was before
    // and, when it was Idle, the port stays closed); then LastQueueCount 0 and Listening.
    // While a download waits, the port stays open and listening starts over.
    void Start();

    // One timer tick. True when the transfer has ended: DownloadText holds it, the port is
    // closed, the state is Idle. An ECommError closes the port, empties DownloadText and
    // returns to Idle before it is rethrown. Nothing happens when Idle.
    bool Tick();

    // Closes the port without raising and returns to Idle.
    void Abort();

    // The bytes of the last transfer that ended without a report (Abort, or a failure of
    // Tick after bytes came): what was read and what still waited in the queue. Emptied by
    // Start and by the call.
    QByteArray TakeKept();

    TState State() const { return FState; }
    int LastQueueCount() const { return FLastQueueCount; }
    const QByteArray& DownloadText() const { return FDownloadText; }
    // The bytes of the last complete transfer as they came, zero bytes included: the download
    // text drops a zero byte and the rest of its piece, a record of the measurement may not.
    const QByteArray& Received() const { return FReceived; }
    QByteArray TakeDownloadText();

private:
    void ReceiveData();
    void Fail();

    TSerialPort& FPort;
    TState FState = TState::Idle;
    int FLastQueueCount = 0;
    QByteArray FDownloadText;
    QByteArray FReceived;
    QByteArray FKept;
};

// "Idle", "Listening for data on Com %d...", "Acquiring Data on Com %d - Please Wait...".
QString StatusText(TDownload::TState State, int PortNumber);
