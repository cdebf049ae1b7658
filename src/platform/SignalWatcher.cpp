#include "platform/SignalWatcher.h"

#include "platform/Exception.h"

#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t WriteEnd = -1;

void OnSignal(int Signal) {
    const int Saved = errno;
    const unsigned char Byte = static_cast<unsigned char>(Signal);
    // A full pipe drops the byte: an earlier one of the same kind is waiting already.
    [[maybe_unused]] const ssize_t Written = ::write(WriteEnd, &Byte, 1);
    errno = Saved;
}

} // namespace

TSignalWatcher::TSignalWatcher(std::vector<int> Signals, QObject* Parent)
    : QObject(Parent), FSignals(std::move(Signals)) {
    int Ends[2];
    if (::pipe2(Ends, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception(QStringLiteral("Cannot watch for signals: %1")
                            .arg(QString::fromLocal8Bit(std::strerror(errno))));
    FRead.Reset(Ends[0]);
    FWrite.Reset(Ends[1]);
    WriteEnd = FWrite.Get();
    FNotifier = new QSocketNotifier(FRead.Get(), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TSignalWatcher::Read);
    FPrevious.resize(FSignals.size());
    for (size_t I = 0; I < FSignals.size(); ++I) {
        struct sigaction Action {};
        Action.sa_handler = OnSignal;
        sigemptyset(&Action.sa_mask);
        Action.sa_flags = SA_RESTART;
        ::sigaction(FSignals[I], &Action, &FPrevious[I]);
    }
}

TSignalWatcher::~TSignalWatcher() {
    for (size_t I = 0; I < FSignals.size(); ++I)
        ::sigaction(FSignals[I], &FPrevious[I], nullptr);
    WriteEnd = -1;
}

void TSignalWatcher::Read() {
    unsigned char Bytes[16];
    ssize_t Got;
    while ((Got = ::read(FRead.Get(), Bytes, sizeof Bytes)) > 0)
        for (ssize_t I = 0; I < Got; ++I) {
            if (!FFirst)
                FFirst = Bytes[I];
            emit Received(Bytes[I]);
        }
}
