// A second program on an archive, for the tests that need one in another process:
//   archive_writer DATABASE [COUNT [SERIAL [HOURS]]]  stores measurements one after the other
//       and prints each row's id once its transaction has committed; without COUNT until
//       killed. SERIAL may hold %1 for the row's number; HOURS sets the printouts' length.
//   archive_writer --foreign-wal DATABASE     makes another program's database in WAL mode
//       and ends without closing it, so its -wal is left beside it with rows in it.
//   archive_writer --checkpoint DATABASE      runs PRAGMA wal_checkpoint(TRUNCATE).
#include "Printout.h"
#include "archive/Archive.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <unistd.h>

namespace {

int Raw(const QString& Database, const QStringList& Statements, bool LeaveOpen) {
    QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    Db.setDatabaseName(Database);
    Db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!Db.open())
        return 1;
    QSqlQuery Query(Db);
    for (const QString& Sql : Statements)
        if (!Query.exec(Sql)) {
            std::fprintf(stderr, "%s\n", qPrintable(Query.lastError().text()));
            return 1;
        }
    std::printf("%s\n", Query.next() ? qPrintable(Query.value(0).toString()) : "done");
    std::fflush(stdout);
    if (LeaveOpen)
        ::_exit(0);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication App(argc, argv);
    const QStringList Args = App.arguments().mid(1);
    if (Args.size() == 2 && Args[0] == "--foreign-wal")
        return Raw(Args[1],
                   {"PRAGMA journal_mode=WAL", "PRAGMA wal_autocheckpoint=0",
                    "CREATE TABLE notes (text TEXT)", "INSERT INTO notes VALUES ('mine')"},
                   true);
    if (Args.size() == 2 && Args[0] == "--checkpoint")
        return Raw(Args[1], {"PRAGMA wal_checkpoint(TRUNCATE)"}, false);
    if (Args.isEmpty() || Args.size() > 4) {
        std::fprintf(stderr, "usage: archive_writer DATABASE [COUNT [SERIAL [HOURS]]]\n");
        return 2;
    }
    const int Count = Args.size() > 1 ? Args[1].toInt() : -1;
    const QString Serial = Args.size() > 2 ? Args[2] : QStringLiteral("W%1");
    const int Hours = Args.size() > 3 ? Args[3].toInt() : 0;
    try {
        TArchive Archive(Args[0]);
        for (int I = 1; Count < 0 || I <= Count; ++I) {
            TArchiveEntry Entry;
            Entry.Port = QStringLiteral("COM1");
            Entry.Device = QStringLiteral("/dev/ttyUSB0");
            Entry.Raw =
                SimPrintout::Generate({Hours ? Hours : 1 + I % 200, uint32_t(I), true, false});
            Entry.Info.Enabled = true;
            Entry.Info.SerialNumber = Serial.contains("%1") ? Serial.arg(I) : Serial;
            const qint64 Id = Archive.Store(Entry);
            std::printf("%lld\n", static_cast<long long>(Id));
            std::fflush(stdout);
        }
    } catch (const Exception& E) {
        std::fprintf(stderr, "%s\n", E.what());
        return 1;
    }
    return 0;
}
