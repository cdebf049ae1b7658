// Stores measurements into the archive named on the command line, one after the other, and
// prints each row's id once its transaction has committed. Runs until it is killed.
#include "Printout.h"
#include "archive/Archive.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication App(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: archive_writer DATABASE\n");
        return 2;
    }
    try {
        TArchive Archive(QString::fromLocal8Bit(argv[1]));
        for (int I = 1;; ++I) {
            TArchiveEntry Entry;
            Entry.Port = QStringLiteral("COM1");
            Entry.Device = QStringLiteral("/dev/ttyUSB0");
            Entry.Raw = SimPrintout::Generate({1 + I % 200, uint32_t(I), true, false});
            Entry.Info.Enabled = true;
            Entry.Info.SerialNumber = QStringLiteral("W%1").arg(I);
            const qint64 Id = Archive.Store(Entry);
            std::printf("%lld\n", static_cast<long long>(Id));
            std::fflush(stdout);
        }
    } catch (const Exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
}
