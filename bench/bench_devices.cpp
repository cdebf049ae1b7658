// Cost of listing the serial devices and telling the state of every terminal device of this
// machine, with COM1..COM9 assigned to pseudo-terminals, one of them locked by a second
// process. Prints figures; not a test.
#include "platform/SerialDevices.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace SerialDevices;

namespace {

constexpr double BudgetMs = 100;

// Prints the mean and the worst of Rounds runs in milliseconds; false when the worst is over
// the budget.
bool Measure(const char* What, int Rounds, const std::function<int()>& Body) {
    double Total = 0, Worst = 0;
    int Count = 0;
    for (int i = 0; i < Rounds; ++i) {
        const auto Start = std::chrono::steady_clock::now();
        Count = Body();
        const std::chrono::duration<double, std::milli> Spent =
            std::chrono::steady_clock::now() - Start;
        Total += Spent.count();
        Worst = std::max(Worst, Spent.count());
    }
    std::printf("%-52s %4d items %8.2f ms mean %8.2f ms worst\n", What, Count, Total / Rounds,
                Worst);
    return Worst < BudgetMs;
}

struct TPtyPair {
    int Master = -1;
    QString Slave;
};

TPtyPair OpenPty() {
    TPtyPair Pair;
    Pair.Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char Name[256];
    if (Pair.Master >= 0 && ::grantpt(Pair.Master) == 0 && ::unlockpt(Pair.Master) == 0 &&
        ::ptsname_r(Pair.Master, Name, sizeof Name) == 0)
        Pair.Slave = QString::fromLocal8Bit(Name);
    return Pair;
}

} // namespace

int main() {
    std::vector<TPtyPair> Ptys;
    QList<TAssignment> Assigned;
    for (int n = 1; n <= 9; ++n) {
        Ptys.push_back(OpenPty());
        Assigned << TAssignment{QStringLiteral("COM%1").arg(n), Ptys.back().Slave};
    }
    int Ready[2];
    if (::pipe(Ready) != 0)
        return 1;
    const pid_t Holder = ::fork();
    if (Holder == 0) {
        const int Fd = ::open(QFile::encodeName(Ptys[1].Slave).constData(), O_RDWR | O_NOCTTY);
        ::flock(Fd, LOCK_EX | LOCK_NB);
        ::close(Ready[0]);
        ::close(Ready[1]);
        ::pause();
        ::_exit(0);
    }
    ::close(Ready[1]);
    char Ignored;
    while (::read(Ready[0], &Ignored, 1) > 0) {
    }

    QStringList Ttys;
    for (const QString& Folder : {QStringLiteral("/dev"), QStringLiteral("/dev/pts")}) {
        const QDir Dir(Folder);
        for (const QString& Name : Dir.entryList(QDir::System | QDir::Files))
            if (Folder.endsWith(QLatin1String("pts")) || Name.startsWith(QLatin1String("tty")))
                Ttys << Dir.filePath(Name);
    }

    TRoots Sysfs;
    Sysfs.UseUdev = false;
    bool Within = true;
    Within &= Measure(UdevSupported() ? "ListDevices (udev)" : "ListDevices (sysfs)", 50,
                      [] { return static_cast<int>(ListDevices().size()); });
    Within &= Measure("ListDevices (sysfs)", 50,
                      [&] { return static_cast<int>(ListDevices(Sysfs).size()); });
    Within &= Measure("StatesOf every /dev/tty* and /dev/pts/*", 50,
                      [&] { return static_cast<int>(StatesOf(Ttys).size()); });
    Within &= Measure("Inventory, COM1..COM9 on pseudo-terminals", 50,
                      [&] { return static_cast<int>(Inventory(Assigned).size()); });
    Within &= Measure("Inventory and StatesOf every terminal device", 50, [&] {
        return static_cast<int>(Inventory(Assigned).size() + StatesOf(Ttys).size());
    });
    std::printf("every run under %.0f ms: %s\n", BudgetMs, Within ? "yes" : "NO");

    ::kill(Holder, SIGTERM);
    ::waitpid(Holder, nullptr, 0);
    for (const TPtyPair& Pair : Ptys)
        ::close(Pair.Master);
    return Within ? 0 : 1;
}
