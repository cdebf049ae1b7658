#include "acquisition/DownloadSession.h"

#include "acquisition/CaptureFile.h"
#include "platform/ComPorts.h"
#include "platform/PortMap.h"
#include "report/ReportBuilder.h"

#include <QTimer>

namespace {

QString DeviceOf(const QString& Port) {
    try {
        return PortMap::DevicePath(Port);
    } catch (const Exception&) {
        // The store that maps the port could not be read: the name alone.
        return Port;
    }
}

} // namespace

TDownloadSession::TDownloadSession(QObject* Parent) : QObject(Parent), FTimer(new QTimer(this)) {
    FTimer->setObjectName(QStringLiteral("tmrReceive"));
    FTimer->setInterval(TDownload::TickIntervalMs);
    connect(FTimer, &QTimer::timeout, this, &TDownloadSession::Tick);
}

TDownloadSession::~TDownloadSession() {
    // Signals to a receiver being destroyed would reach a half-gone object.
    blockSignals(true);
    Stop();
}

void TDownloadSession::Start(TDownloadSetup Setup) {
    if (Running())
        Stop();
    FPort.SetPortName(Setup.Port);
    FDownload.Start();
    FSetup = std::move(Setup);
    FStarted = QDateTime::currentDateTime();
    FClock.start();
    FSinceTick.invalidate();
    FTimer->start();
    emit Progress(FDownload.State(), 0, 0);
}

void TDownloadSession::Stop(int Signal) {
    if (!Running())
        return;
    FDownload.Abort();
    TDownloadResult Result = Begin(TDownloadResult::TEnd::Stopped);
    Result.Signal = Signal;
    Result.Bytes = FDownload.TakeKept();
    Keep(Result, TArchiveState::Stopped, QString());
    Finish(Result);
}

void TDownloadSession::Tick() {
    // Counted from the tick itself: after a stall (a busy machine, a stopped process) two ticks
    // in a row would see the same count and end the transfer in the middle.
    if (FSinceTick.isValid() && FSinceTick.elapsed() < TDownload::TickIntervalMs / 2)
        return;
    FSinceTick.start();
    bool Ended = false;
    try {
        Ended = FDownload.Tick();
    } catch (const ECommError& E) {
        TDownloadResult Result = Begin(TDownloadResult::TEnd::Interrupted);
        Result.FaultCode = E.Code;
        Result.SystemError = E.SystemError;
        Result.Bytes = FDownload.TakeKept();
        Keep(Result, TArchiveState::Interrupted, E.Message);
        Finish(Result);
        return;
    }
    if (Ended) {
        TDownloadResult Result = Begin(TDownloadResult::TEnd::Complete);
        Result.Bytes = FDownload.Received();
        Result.Report = BuildReportFromBytes(Result.Bytes, FSetup.Info);
        Keep(Result, TArchiveState::Complete, QString());
        Finish(Result);
        return;
    }
    if (FSetup.WaitSeconds > 0 && FDownload.State() == TDownload::TState::Listening &&
        FClock.elapsed() >= qint64(FSetup.WaitSeconds * 1000)) {
        FDownload.Abort();
        TDownloadResult Result = Begin(TDownloadResult::TEnd::TimedOut);
        Result.Bytes = FDownload.TakeKept();
        Keep(Result, TArchiveState::Stopped, QString());
        Finish(Result);
        return;
    }
    emit Progress(FDownload.State(), FDownload.LastQueueCount(), FClock.elapsed());
}

TDownloadResult TDownloadSession::Begin(TDownloadResult::TEnd End) const {
    TDownloadResult Result;
    Result.End = End;
    Result.Port = FSetup.Port;
    Result.PortNumber = ComPorts::PortNumber(FSetup.Port);
    Result.Device = DeviceOf(FSetup.Port);
    Result.Started = FStarted;
    Result.ElapsedMs = FClock.isValid() ? FClock.elapsed() : 0;
    return Result;
}

void TDownloadSession::Keep(TDownloadResult& Result, TArchiveState State, const QString& Error) {
    if (Result.Bytes.isEmpty())
        return;
    TArchiveEntry Entry;
    Entry.ReceivedAt = QDateTime::currentDateTimeUtc();
    Entry.Port = Result.Port;
    Entry.Device = Result.Device;
    Entry.Raw = Result.Bytes;
    Entry.State = State;
    Entry.Error = Error;
    Entry.Info = FSetup.Info;
    Entry.Lines = State == TArchiveState::Complete
                      ? Result.Report
                      : BuildReportFromBytes(Result.Bytes, FSetup.Info, false);
    TArchive::Describe(Entry);
    Result.State = Entry.State;
    if (FSetup.Archive) {
        try {
            Result.ArchiveId = FSetup.Archive(Entry);
        } catch (const Exception& E) {
            Result.ArchiveError = E.Message;
        } catch (const std::exception& E) {
            // Whatever went wrong, the bytes go to a capture file.
            Result.ArchiveError = QString::fromLocal8Bit(E.what());
        }
    }
    // Without an archive asked for, a complete download's report is its record.
    const bool Whole = State == TArchiveState::Complete && !Result.Report.isEmpty();
    if (Result.ArchiveId > 0 || (!FSetup.Archive && Whole))
        return;
    KeepAsCapture(Result);
}

void TDownloadSession::KeepAsCapture(TDownloadResult& Result) const {
    if (Result.Bytes.isEmpty() || Result.Kept())
        return;
    try {
        if (!FSetup.CapturesFolder)
            throw Exception(QStringLiteral("no folder for capture files was given"));
        Result.CapturePath =
            CaptureFile::Write(FSetup.CapturesFolder(), Result.Started,
                               CaptureFile::PortLabel(Result.PortNumber, Result.Device),
                               Result.Bytes);
    } catch (const Exception& E) {
        Result.CaptureError = E.Message;
    }
}

void TDownloadSession::Finish(const TDownloadResult& Result) {
    FTimer->stop();
    emit Ended(Result);
}
