// The archive's figures: storing a 32 KiB download with the sync to disk, and the archive
// window over 10,000 measurements: opening it, and narrowing the list per keystroke.
// Prints figures; not a test.
#include "app/ArchiveForm.h"
#include "archive/Archive.h"
#include "archive/ArchiveModel.h"

#include "Printout.h"

#include <QApplication>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point Start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - Start).count();
}

// This thread's processor time: the machine is shared, so wall times carry other builds' load.
double CpuMs() {
    timespec Now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
    return double(Now.tv_sec) * 1e3 + double(Now.tv_nsec) / 1e6;
}

struct TRound {
    Clock::time_point Wall = Clock::now();
    double Cpu = CpuMs();
};

struct TFigures {
    std::vector<double> Wall, Cpu;
    void Add(const TRound& Round) {
        Wall.push_back(MsSince(Round.Wall));
        Cpu.push_back(CpuMs() - Round.Cpu);
    }
};

void Report(const char* What, TFigures F, double Budget) {
    for (auto* Ms : {&F.Wall, &F.Cpu})
        std::sort(Ms->begin(), Ms->end());
    if (Budget > 0)
        std::printf("%s (budget %g ms), %zu rounds\n", What, Budget, F.Wall.size());
    else
        std::printf("%s, %zu rounds\n", What, F.Wall.size());
    std::printf("    wall  min %8.3f  median %8.3f  max %8.3f ms\n", F.Wall.front(),
                F.Wall[F.Wall.size() / 2], F.Wall.back());
    std::printf("    cpu   min %8.3f  median %8.3f  max %8.3f ms\n", F.Cpu.front(),
                F.Cpu[F.Cpu.size() / 2], F.Cpu.back());
}

QByteArray Download32K() {
    QByteArray Bytes = SimPrintout::Generate({600, 0, true, false});
    Bytes.truncate(32 * 1024 - 1);
    return Bytes + '\r';
}

void StoreRounds(const QString& Path) {
    TArchive Archive(Path);
    Archive.Open();
    const QByteArray Bytes = Download32K();
    TFigures Ms;
    for (int I = 0; I < 30; ++I) {
        TArchiveEntry Entry;
        Entry.Port = QStringLiteral("COM1");
        Entry.Raw = Bytes;
        Entry.Info.Enabled = true;
        Entry.Info.SerialNumber = QStringLiteral("4410-%1").arg(I);
        const TRound Start;
        Archive.Store(Entry);
        Ms.Add(Start);
    }
    Report("store a 32 KiB download (synchronous=FULL)", Ms, 50);
}

// 10,000 rows: one stored the normal way, the rest copied from it in one transaction.
void Fill(const QString& Path, int Rows) {
    {
        TArchive Archive(Path);
        TArchiveEntry Entry;
        Entry.Port = QStringLiteral("COM1");
        Entry.Raw = SimPrintout::Generate({48, 0, true, false});
        Entry.Info.Enabled = true;
        Archive.Store(Entry);
    }
    QSqlDatabase Db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    Db.setDatabaseName(Path);
    Db.open();
    QSqlQuery Query(Db);
    const QString Copy = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
        "INSERT INTO measurement (received_at, port, device, bytes, sha256, state, error, "
        "info_enabled, info_serial, info_location, info_start_date, info_start_time, "
        "info_end_date, info_end_time, info_header, info_footer, serial, location, readings, "
        "epa_protocol) SELECT strftime('%Y-%m-%dT%H:%M:%SZ', '2020-01-01', '+' || i || ' hours'), "
        "port, device, bytes, sha256 || i, state, error, info_enabled, info_serial, "
        "info_location, info_start_date, info_start_time, info_end_date, info_end_time, "
        "info_header, info_footer, printf('%d-%04d', 4410 + i % 7, i), "
        "'Location ' || (i % 97), readings, epa_protocol FROM measurement, n WHERE id = 1");
    for (const QString& Sql :
         {QStringLiteral("BEGIN"), Copy.arg(Rows - 1),
          QStringLiteral("INSERT INTO content SELECT m.id, c.raw, c.report FROM measurement m, "
                         "content c WHERE c.measurement_id = 1 AND m.id > 1"),
          QStringLiteral("COMMIT")})
        if (!Query.exec(Sql))
            std::fprintf(stderr, "fill: %s\n", qPrintable(Query.lastError().text()));
    Query.finish();
    Db.close();
    Db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

void WindowRounds(const QString& Path) {
    TArchive Archive(Path);
    Archive.Open();
    TArchiveForm::THost Host;
    Host.Archive = [&] { return &Archive; };
    TFigures Open, Keys, Lists;
    for (int Round = 0; Round < 10; ++Round) {
        const TRound Start;
        Archive.List({QStringLiteral("4"), {}, {}});
        Lists.Add(Start);
    }
    Report("list of 10,000 rows alone, a cold archive (no window)", Lists, 0);
    for (int Round = 0; Round < 10; ++Round) {
        const TRound Start;
        auto* Form = new TArchiveForm(Host);
        Form->Refresh();
        Form->show();
        QCoreApplication::processEvents();
        Open.Add(Start);
        if (Round == 0)
            std::printf("window lists %d measurements\n", Form->Model->rowCount());
        const QString Typed = QStringLiteral("4412-00");
        for (int N = 1; N <= Typed.size(); ++N) {
            const TRound Key;
            Form->Search->setText(Typed.left(N));
            QCoreApplication::processEvents();
            Keys.Add(Key);
        }
        for (int N = Typed.size() - 1; N >= 0; --N) {
            const TRound Key;
            Form->Search->setText(Typed.left(N));
            QCoreApplication::processEvents();
            Keys.Add(Key);
        }
        delete Form;
    }
    Report("archive window opens over 10,000 rows", Open, 200);
    Report("filter per keystroke (10,000 rows)", Keys, 50);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication App(argc, argv);
    QTemporaryDir Dir;
    StoreRounds(TArchive::PathIn(Dir.path() + QStringLiteral("/store")));
    const QString Big = TArchive::PathIn(Dir.path() + QStringLiteral("/big"));
    const auto Start = Clock::now();
    Fill(Big, 10000);
    std::printf("filled 10,000 rows in %.0f ms\n", MsSince(Start));
    WindowRounds(Big);
    return 0;
}
