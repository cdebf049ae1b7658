#pragma once

#include "acquisition/Download.h"
#include "acquisition/TSerialPort.h"
#include "archive/Archive.h"
#include "report/ReportInfo.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QTimer;

// What a download is given: where it listens, what its report says, where its bytes go.
struct TDownloadSetup {
    QString Port;     // "COM1" to "COM9" or a device path
    TReportInfo Info; // the report information the report is built with
    // Stores a download in the archive: the row's id, 0 when archiving is off for now (said
    // elsewhere); raises Exception when the archive fails. Unset: no archive at all.
    std::function<qint64(const TArchiveEntry&)> Archive;
    // Where bytes the archive did not take go, asked only when there are some; raises
    // Exception saying why there is no such folder.
    std::function<QString()> CapturesFolder;
    // A download still listening after this many seconds ends with nothing; 0: never.
    double WaitSeconds = 0;
};

// How a download ended, as data; the window and halvorn-cli each put it in their own words.
struct TDownloadResult {
    enum class TEnd {
        Complete,    // the line went quiet after bytes came
        Stopped,     // Stop, Exit or a signal (Signal) ended it
        Interrupted, // the line failed, a pulled cable most often
        TimedOut     // nothing came within the waiting time
    };
    TEnd End = TEnd::Complete;
    int Signal = 0;
    QString Port;       // as given
    int PortNumber = 0; // n of COMn, 0 for a device path
    QString Device;     // the device the port leads to
    QDateTime Started;
    qint64 ElapsedMs = 0;
    QByteArray Bytes;   // every byte received
    QStringList Report; // a complete download's report; empty without a line of one
    TArchiveState State = TArchiveState::Complete; // as kept
    qint64 ArchiveId = 0;
    QString CapturePath;
    QString ArchiveError; // the archive's message when it failed; empty when it took them or is off
    QString CaptureError; // why no capture could be written
    // The line's fault (Interrupted): the port's error code and errno.
    uint8_t FaultCode = 0;
    uint32_t SystemError = 0;

    bool Kept() const { return ArchiveId > 0 || !CapturePath.isEmpty(); }
};

// One download from Get Data to its end, with no window: opens the port, ticks, ends by the
// quiet line, by Stop or by a fault; keeps the bytes (the archive first, else a capture file),
// builds the report once from the bytes as received, and says how it ended in one record.
// Its timer is "tmrReceive".
class TDownloadSession : public QObject {
    Q_OBJECT
public:
    explicit TDownloadSession(QObject* Parent = nullptr);
    // A download still running is stopped, its bytes kept.
    ~TDownloadSession() override;

    // Opens the port and listens. ECommError when the port cannot be opened: nothing runs.
    void Start(TDownloadSetup Setup);
    // Ends a running download as the user's Stop does (Signal: the signal that asked for it):
    // its bytes are kept, and Ended comes before the call returns. Nothing when idle.
    void Stop(int Signal = 0);
    bool Running() const { return FDownload.State() != TDownload::TState::Idle; }
    TDownload::TState State() const { return FDownload.State(); }
    // The port of the running (or last) download, and the bytes it holds so far.
    QString Port() const { return FSetup.Port; }
    int QueueCount() const { return FDownload.LastQueueCount(); }

    // A complete download that was not kept (no archive was asked for) as a capture file after
    // all, when its report could not be written: the one place captures are made.
    void KeepAsCapture(TDownloadResult& Result) const;

signals:
    void Progress(TDownload::TState State, qint64 Bytes, qint64 ElapsedMs);
    void Ended(const TDownloadResult& Result);

private:
    void Tick();
    TDownloadResult Begin(TDownloadResult::TEnd End) const;
    // The bytes into the archive, else a capture file; the state they were kept as.
    void Keep(TDownloadResult& Result, TArchiveState State, const QString& Error);
    void Finish(const TDownloadResult& Result);

    TSerialPort FPort;
    TDownload FDownload{FPort};
    QTimer* FTimer;
    TDownloadSetup FSetup;
    QDateTime FStarted;
    QElapsedTimer FClock, FSinceTick;
};
