#include "acquisition/Download.h"

#include "acquisition/ECommError.h"
#include "acquisition/TSerialPort.h"

#include <array>
#include <cstring>

TDownload::TDownload(TSerialPort& Port) : FPort(Port) {}

void TDownload::Start() {
    // A new download never carries bytes of an earlier one.
    FDownloadText.clear();
    FReceived.clear();
    FPort.Open();
    FKept.clear();
    FLastQueueCount = 0;
    FState = TState::Listening;
}

bool TDownload::Tick() {
    if (FState == TState::Idle)
        return false;
    try {
        if (FPort.BytesWaiting() == 0)
            return false;
        if (FPort.BytesWaiting() == static_cast<uint32_t>(FLastQueueCount)) {
            ReceiveData();
            return true;
        }
        FLastQueueCount = static_cast<int>(FPort.BytesWaiting());
        FState = TState::Acquiring;
        return false;
    } catch (const ECommError&) {
        Fail();
        throw;
    }
}

void TDownload::ReceiveData() {
    std::array<char, ReceiveBufferSize> Buffer;
    while (FPort.BytesWaiting() > 0) {
        Buffer.fill(0);
        const uint32_t Read = FPort.ReadLine(Buffer.data(), ReceiveBufferSize);
        FReceived.append(Buffer.data(), Read > 0 ? static_cast<qsizetype>(Read - 1) : 0);
        // A zero byte from the line ends its piece.
        FDownloadText.append(Buffer.data(),
                             static_cast<qsizetype>(::strnlen(Buffer.data(), Buffer.size())));
    }
    FPort.Close();
    FState = TState::Idle;
}

void TDownload::Fail() {
    // A partial transfer makes no report, and a port left open would fail at every tick.
    Abort();
    FDownloadText.clear();
    FReceived.clear();
}

void TDownload::Abort() {
    if (FState != TState::Idle && FPort.IsOpen()) {
        // What the line still holds counts too; a line that is gone has nothing more.
        try {
            FPort.BytesWaiting();
        } catch (const ECommError&) {
        }
        FKept = FReceived + FPort.Queued();
    }
    try {
        FPort.Close();
    } catch (const ECommError&) {
    }
    FState = TState::Idle;
    FLastQueueCount = 0;
}

QByteArray TDownload::TakeKept() {
    QByteArray Kept;
    Kept.swap(FKept);
    return Kept;
}

QByteArray TDownload::TakeDownloadText() {
    QByteArray Text;
    Text.swap(FDownloadText);
    return Text;
}

QString StatusText(TDownload::TState State, int PortNumber) {
    switch (State) {
    case TDownload::TState::Listening:
        return QStringLiteral("Listening for data on Com %1...").arg(PortNumber);
    case TDownload::TState::Acquiring:
        return QStringLiteral("Acquiring Data on Com %1 - Please Wait...").arg(PortNumber);
    case TDownload::TState::Idle:
        break;
    }
    return QStringLiteral("Idle");
}
