// Serial component over a pseudo-terminal: packets with a stop byte at a paced baud rate (no
// byte may be lost) and the reader's CPU use while the line is idle.
//
//   bench_serialcomp [--bytes N] [--baud B] [--idle-seconds S]
//
// Prints figures; never run as a test.
#include "components/serial/AdvancedCom.h"
#include "components/serial/ComThread.h"
#include "platform/ComPorts.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int PacketBytes = 64;
constexpr char StopByte = '\r';

double Seconds(const timespec& t) {
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double ClockSeconds(clockid_t Clock) {
    timespec t;
    clock_gettime(Clock, &t);
    return Seconds(t);
}

// A reader that tells which thread it is, so its CPU clock can be read from outside.
class TMeasuredThread : public TComThread {
public:
    using TComThread::TComThread;
    std::atomic<bool> Started{false};
    pthread_t Handle{};

protected:
    void run() override {
        Handle = pthread_self();
        Started = true;
        TComThread::run();
    }
};

class TMeasuredCom : public TAdvancedCom {
public:
    void SetupThread() override {
        auto* reader = new TMeasuredThread(PortHandle, this, OnStatusChanged, OnPacketReceived,
                                           ReadOverlapped, BufSize(), false);
        ComThread.reset(reader);
        reader->start();
        while (!reader->Started)
            std::this_thread::yield();
    }
    double ReaderCpuSeconds() {
        clockid_t clock;
        pthread_getcpuclockid(static_cast<TMeasuredThread*>(ComThread.get())->Handle, &clock);
        return ClockSeconds(clock);
    }
};

// Packets of 63 bytes that never hold the stop byte, then the stop byte.
QByteArray MakeData(qint64 Bytes) {
    QByteArray data(Bytes, '\0');
    for (qint64 i = 0; i < Bytes; ++i)
        data[i] = (i % PacketBytes == PacketBytes - 1) ? StopByte : char(32 + (i * 7) % 95);
    return data;
}

// Writes Data into the master, PacketBytes at a time, at Baud (8N1: 10 bits a byte); 0 is
// as fast as the line takes it.
void Send(int Master, const QByteArray& Data, unsigned Baud) {
    timespec next;
    clock_gettime(CLOCK_MONOTONIC, &next);
    const long packetNs = Baud ? long(1e9 * PacketBytes * 10 / Baud) : 0;
    for (qsizetype at = 0; at < Data.size();) {
        if (packetNs) {
            clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
            next.tv_nsec += packetNs;
            next.tv_sec += next.tv_nsec / 1000000000;
            next.tv_nsec %= 1000000000;
        }
        const qsizetype end = qMin<qsizetype>(at + PacketBytes, Data.size());
        while (at < end) {
            const ssize_t n = ::write(Master, Data.constData() + at, size_t(end - at));
            if (n > 0) {
                at += n;
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                std::fprintf(stderr, "write to pty: %s\n", std::strerror(errno));
                return;
            } else {
                pollfd p{Master, POLLOUT, 0};
                ::poll(&p, 1, 100);
            }
        }
    }
}

struct TResult {
    qint64 Received = 0;
    qint64 Packets = 0;
    bool Same = false;
    double Seconds = 0;
    double ReaderCpu = 0;
};

// Sends Data and collects the packets, in the packet event (user-interface thread, the
// reader waiting) or in a listener on the reader thread. The host restarts every packet.
TResult Transfer(TMeasuredCom& Com, int Master, const QByteArray& Data, unsigned Baud,
                 bool OnReaderThread) {
    QByteArray received;
    received.reserve(Data.size());
    std::atomic<qint64> packets{0};
    struct TListener : TPacketListener {
        QByteArray* Into;
        std::atomic<qint64>* Count;
        void PacketArrived(TAdvancedCom* Com, const char* Packet) override {
            Into->append(Packet, Com->ComThread->PacketCount);
            Com->ComThread->PacketCount = 0;
            ++*Count;
        }
    } listener;
    listener.Into = &received;
    listener.Count = &packets;
    Com.PacketListener = OnReaderThread ? &listener : nullptr;
    Com.OnPacketReceived = [&](QObject* Sender, QByteArray& Buffer) {
        received.append(Buffer.constData(), static_cast<TComThread*>(Sender)->PacketCount);
        Com.SetPacketSize(Com.PacketSize());
        ++packets;
    };
    Com.ComInit();
    Com.SetUseStopByte(true);
    Com.SetStopByte(quint8(StopByte));
    Com.SetPacketNotify(!OnReaderThread);

    const qint64 expected = Data.size() / PacketBytes;
    const double cpu0 = Com.ReaderCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    std::thread sender(Send, Master, std::cref(Data), Baud);
    const qint64 limitMs = 30000 + (Baud ? qint64(Data.size()) * 10 * 1000 / Baud * 2 : 0);
    while (packets < expected && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    sender.join();
    TResult result;
    result.Seconds = timer.nsecsElapsed() / 1e9;
    result.ReaderCpu = Com.ReaderCpuSeconds() - cpu0;
    Com.ComClose();
    Com.PacketListener = nullptr;
    result.Received = received.size();
    result.Packets = packets;
    result.Same = received == Data;
    return result;
}

void Report(const char* What, unsigned Baud, const QByteArray& Data, const TResult& r) {
    std::printf("%-34s %s: %lld of %lld bytes in %lld packets, %s, lost %lld; %.2f s "
                "(%.0f KiB/s), reader CPU %.2f s\n",
                What, Baud ? QByteArray::number(Baud).append(" baud").constData() : "unpaced",
                qint64(r.Received), qint64(Data.size()), qint64(r.Packets),
                r.Same ? "identical" : "DIFFERENT", qint64(Data.size() - r.Received), r.Seconds,
                Data.size() / 1024.0 / r.Seconds, r.ReaderCpu);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qint64 bytes = 1 << 20;
    unsigned baud = 115200;
    double idleSeconds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray option = argv[i];
        if (option == "--bytes")
            bytes = std::atoll(argv[i + 1]);
        else if (option == "--baud")
            baud = unsigned(std::atol(argv[i + 1]));
        else if (option == "--idle-seconds")
            idleSeconds = std::atof(argv[i + 1]);
    }
    bytes -= bytes % PacketBytes;

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    char path[256];
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, path, sizeof path) != 0) {
        std::perror("pseudo-terminal");
        return 1;
    }
    // Our own slave descriptor keeps the line up between openings.
    const int slave = ::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
    const QString device = QString::fromLocal8Bit(path);
    ComPorts::SetResolver([device](const QString& Name) {
        return ComPorts::PortNumber(Name) == 1 ? device : ComPorts::ClassicalPath(Name);
    });

    TMeasuredCom com;
    com.SetPortA(1);
    com.SetBaud(baud ? baud : 115200);

    // Idle: the reader polls the line every millisecond.
    com.ComInit();
    if (!com.ComThread) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    const double wall0 = ClockSeconds(CLOCK_MONOTONIC);
    const double cpu0 = com.ReaderCpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
    const double wall = ClockSeconds(CLOCK_MONOTONIC) - wall0;
    const double cpu = com.ReaderCpuSeconds() - cpu0;
    com.ComClose();
    std::printf("idle reader: %.3f s CPU in %.3f s = %.2f %% of one core, %.1f us per "
                "millisecond poll\n",
                cpu, wall, 100 * cpu / wall, cpu * 1e6 / (wall * 1000));

    const QByteArray data = MakeData(bytes);
    const TResult paced = Transfer(com, master, data, baud, false);
    Report("packet event, host restarts", baud, data, paced);
    const TResult fast = Transfer(com, master, data, 0, false);
    Report("packet event, host restarts", 0, data, fast);
    const TResult listener = Transfer(com, master, data, 0, true);
    Report("listener on the reader thread", 0, data, listener);

    ::close(slave);
    ::close(master);
    return paced.Same && fast.Same && listener.Same ? 0 : 2;
}
