#include "AppFixture.h"
#include "Controls.h"

#include "Printout.h"
#include "Pty.h"
#include "TmpfsMount.h"
#include "app/ArchiveForm.h"
#include "app/ClientReportDialog.h"
#include "archive/Archive.h"
#include "archive/ArchiveModel.h"
#include "files/ReportText.h"
#include "platform/PortMap.h"
#include "report/ReportBuilder.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <cstring>
#include <unistd.h>

using TestSupport::ModalAnswer;
using TestSupport::TPty;

namespace {

QByteArray Printout(int Hours = 6) {
    return SimPrintout::Generate({Hours, 0, true, false});
}

} // namespace

class ArchiveWindowTest : public AppTest {
protected:
    QString DataFolder() const { return Install.filePath("Data"); }

    // COM1 on a pseudo-terminal, a main window listening on it.
    TMainForm& Listen(bool WithInfo = false) {
        StoreWithInstallDir("\"Port\"=dword:00000001\r\n\"InfoEnable\"=dword:00000000\r\n");
        PortMap::MapPort("COM1", Line.SlavePath());
        TMainForm& f = Create(WithInfo);
        Trigger(f, "GetData");
        EXPECT_TRUE(Downloading(f));
        return f;
    }
    // Sends Bytes (less than the terminal's buffer) and lets the download end.
    void Send(TMainForm& F, const QByteArray& Bytes) {
        ASSERT_LT(Bytes.size(), 4000);
        ASSERT_TRUE(Line.Write(Bytes));
        ASSERT_TRUE(
            WaitUntil([&] { return !Control<QTimer>(F, "tmrReceive")->isActive(); }, 10000));
    }
    // Rows stored straight into the archive, as earlier downloads left them.
    qint64 Stored(const QString& Serial, const QString& Location, const QDateTime& At,
                  const QByteArray& Raw = Printout()) {
        TArchiveEntry entry;
        entry.Port = "COM2";
        entry.Raw = Raw;
        entry.ReceivedAt = At;
        entry.Info.Enabled = true;
        entry.Info.SerialNumber = Serial;
        entry.Info.Location = Location;
        return Archive().Store(entry);
    }
    TArchiveForm& OpenWindow(TMainForm& F) {
        Control<QAction>(F, "FileArchive")->trigger();
        EXPECT_TRUE(F.findChild<TArchiveForm*>("ArchiveForm") &&
                    F.findChild<TArchiveForm*>("ArchiveForm")->isVisible());
        return *Control<TArchiveForm>(F, "ArchiveForm");
    }
    static QStringList Serials(const TArchiveForm& W) {
        QStringList serials;
        for (int r = 0; r < W.Model->rowCount(); ++r)
            serials << W.Model->RowAt(r)->SerialNumber;
        return serials;
    }
    static void Select(TArchiveForm& W, int Row) {
        W.List->selectRow(Row);
        ASSERT_TRUE(W.List->selectionModel()->hasSelection());
    }

    TPty Line;
};

TEST_F(ArchiveWindowTest, CompleteDownloadIsStoredBeforeItsReportIsShown) {
    TMainForm& f = Listen();
    // An open archive window follows.
    const TArchiveForm& w = OpenWindow(f);
    EXPECT_EQ(w.Model->rowCount(), 0);
    const QByteArray bytes = Printout();
    int rowsWhenShown = -1;
    QObject::connect(Memo(f), &QPlainTextEdit::textChanged, [&] {
        if (rowsWhenShown < 0 && !Memo(f)->toPlainText().isEmpty())
            rowsWhenShown = int(Archive().List().size());
    });
    Send(f, bytes);
    EXPECT_EQ(rowsWhenShown, 1);
    EXPECT_EQ(w.Model->rowCount(), 1);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
    EXPECT_EQ(EditorLines(), BuildReport(bytes, TReportInfo{}));
    TArchive& archive = Archive();
    const std::vector<TArchiveRow> rows = archive.List();
    ASSERT_EQ(rows.size(), 1u);
    const std::optional<TArchiveEntry> entry = archive.Get(rows[0].Id);
    EXPECT_EQ(entry->State, TArchiveState::Complete);
    EXPECT_EQ(entry->Raw, bytes);
    EXPECT_EQ(entry->Readings, 6);
    EXPECT_EQ(entry->Device, Line.SlavePath());
    EXPECT_EQ(ReportText::DecodeText(entry->Report).mid(0, EditorLines().size()), EditorLines());
    EXPECT_TRUE(Captures().isEmpty());
}

// The archive fails to take a download (here a trigger of the database refuses every row):
// one message naming the database and the reason, the report shown, the bytes in a capture.
TEST_F(ArchiveWindowTest, ArchiveFailureSaysSoOnceAndTheReportStillAppears) {
    Archive().Open();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "refuse-rows");
        db.setDatabaseName(ArchivePath());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec("CREATE TRIGGER refuse BEFORE INSERT ON measurement BEGIN SELECT "
                           "RAISE(FAIL, 'refused by the test'); END"));
    }
    QSqlDatabase::removeDatabase("refuse-rows");
    TMainForm& f = Listen();
    const QByteArray bytes = Printout();
    Send(f, bytes);
    EXPECT_EQ(EditorLines(), BuildReport(bytes, TReportInfo{}));
    const QStringList files = Captures();
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(TestSupport::ReadFile(files[0]), bytes);
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_EQ(Errors[0].section('\n', 0, 0),
              QStringLiteral("The measurement could not be stored in the archive %1: the database "
                             "reported an error. The bytes received are in %2.")
                  .arg(ArchivePath(), files[0]));
    EXPECT_TRUE(Errors[0].section('\n', 1).startsWith("Details: refused by the test"))
        << Errors[0].toStdString();
}

// A small file system of the test's own: a tmpfs at Data in a private mount namespace.
class MountedArchiveWindowTest : public ArchiveWindowTest {
protected:
    void SetUp() override {
        ArchiveWindowTest::SetUp();
        QDir().mkpath(DataFolder());
        if (const std::string Why = TestSupport::MountTmpfs(DataFolder(), "size=256k");
            !Why.empty())
            GTEST_SKIP() << Why;
        Mounted = true;
    }
    void TearDown() override {
        ArchiveWindowTest::TearDown();
        if (Mounted)
            TestSupport::Unmount(DataFolder());
    }
    bool Mounted = false;
};

TEST_F(MountedArchiveWindowTest, FullDiskShowsTheMessageAndTheReport) {
    Stored("EARLIER", "Hall", QDateTime::currentDateTimeUtc());
    {
        QFile filler(DataFolder() + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    TMainForm& f = Listen();
    const QByteArray bytes = Printout();
    Send(f, bytes);
    EXPECT_EQ(EditorLines(), BuildReport(bytes, TReportInfo{}));
    ASSERT_EQ(Errors.size(), 1);
    // The archive, opened at the download's end, cannot even start its log; the captures
    // folder lies on the same full disk.
    EXPECT_TRUE(Errors[0].section('\n', 0, 0).contains(ArchivePath() + ": the disk is full."))
        << Errors[0].toStdString();
    EXPECT_TRUE(Errors[0].contains("could not be kept in a capture file either"))
        << Errors[0].toStdString();
    QFile::remove(DataFolder() + "/filler");
    const std::vector<TArchiveRow> rows = Archive().List();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].SerialNumber, "EARLIER");
}

TEST_F(MountedArchiveWindowTest, ReadOnlyDataFolderShowsTheMessageAndTheReport) {
    ASSERT_TRUE(TestSupport::RemountReadOnly(DataFolder())) << std::strerror(errno);
    TMainForm& f = Listen();
    const QByteArray bytes = Printout();
    Send(f, bytes);
    EXPECT_EQ(EditorLines(), BuildReport(bytes, TReportInfo{}));
    ASSERT_EQ(Errors.size(), 1);
    EXPECT_TRUE(Errors[0].contains(ArchivePath())) << Errors[0].toStdString();
    EXPECT_TRUE(Errors[0].contains("could not be kept in a capture file either"))
        << Errors[0].toStdString();
}

// An archive on a read-only mount: listed, said once to take no downloads, whose bytes the
// window then tries to keep as a capture (the same mount refuses that too: said with it).
TEST_F(MountedArchiveWindowTest, ReadOnlyArchiveIsListedAndSaysSoOnce) {
    Stored("EARLIER", "Hall", QDateTime::currentDateTimeUtc());
    TestArchive.reset(); // a file open for writing keeps the mount writable
    ASSERT_TRUE(TestSupport::RemountReadOnly(DataFolder())) << std::strerror(errno);
    TMainForm& f = Listen();
    TArchiveForm& w = OpenWindow(f);
    EXPECT_EQ(Serials(w), QStringList{"EARLIER"});
    EXPECT_FALSE(w.ImportButton->isEnabled());
    Send(f, Printout());
    EXPECT_FALSE(EditorLines().isEmpty());
    ASSERT_EQ(Errors.size(), 2) << Errors.join('\n').toStdString();
    EXPECT_TRUE(Errors[0].contains("new downloads cannot be stored there"));
    EXPECT_TRUE(Errors[1].startsWith("The download was not archived"));
    EXPECT_TRUE(Errors[1].contains("could not be kept in a capture file either"));
}

// Rows say what they are: the report's start first, a transfer without a readings table as
// such (and the status line says so), an imported capture without anyone's information.
TEST_F(ArchiveWindowTest, RowsTellTheTruth) {
    TMainForm& f = Listen(true);
    TArchiveForm& w = OpenWindow(f);
    const QByteArray rest = "end of an earlier printout\r" + QByteArray(30, '~') + "\r\r";
    Send(f, rest);
    ASSERT_EQ(w.Model->rowCount(), 1);
    const qint64 id = w.Model->RowAt(0)->Id;
    EXPECT_EQ(StatusText(), QStringLiteral("The data received holds no readings table: kept in "
                                           "the archive as measurement %1")
                                .arg(id));
    EXPECT_EQ(w.Model->data(w.Model->index(0, TArchiveModel::State)).toString(), "no-readings");
    const QString capture = Install.filePath("2026-12-08 14-03-22 COM1.raw");
    TestSupport::WriteFile(capture, Printout(5));
    {
        ModalAnswer choose(ModalAnswer::ChooseFile(capture));
        w.ImportButton->click();
    }
    const QStringList header{"Start", "Received", "Serial #", "Location"};
    for (int c = 0; c < header.size(); ++c)
        EXPECT_EQ(w.Model->headerData(c, Qt::Horizontal).toString(), header[c]);
    const TArchiveRow* imported = nullptr;
    for (int r = 0; r < w.Model->rowCount(); ++r)
        if (w.Model->RowAt(r)->State == TArchiveState::Imported)
            imported = w.Model->RowAt(r);
    ASSERT_TRUE(imported);
    for (const int column : {TArchiveModel::Start, TArchiveModel::Serial, TArchiveModel::Location})
        EXPECT_EQ(
            w.Model->data(w.Model->index(int(imported - w.Model->RowAt(0)), column)).toString(),
            TArchiveModel::None);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

// The job given for a client report is kept with its measurement, found by the archive's
// search, and comes back with the report opened from the archive.
TEST_F(ArchiveWindowTest, JobGoesWithItsMeasurementAndIsSearched) {
    TMainForm& f = Listen();
    Send(f, Printout());
    {
        ModalAnswer answer({[](QWidget* w) {
                                auto* d = qobject_cast<TClientReportDialog*>(w);
                                d->ClientEdit->setText("Ann Maple");
                                d->AddressEdit->setText("12 Birch Lane");
                                QMetaObject::invokeMethod(d, "accept", Qt::QueuedConnection);
                            },
                            ModalAnswer::Reject()});
        Control<QAction>(f, "FileClientReport")->trigger();
        EXPECT_EQ(answer.Answered(), 2);
    }
    TArchiveForm& w = OpenWindow(f);
    w.Search->setText("birch");
    ASSERT_EQ(w.Model->rowCount(), 1);
    EXPECT_EQ(Archive().Get(w.Model->RowAt(0)->Id)->Job.Client, "Ann Maple");
    Select(w, 0);
    {
        ModalAnswer no(ModalAnswer::Press(QMessageBox::No));
        w.OpenReportButton->click();
    }
    QString client;
    ModalAnswer look([&](QWidget* d) {
        client = qobject_cast<TClientReportDialog*>(d)->ClientEdit->text();
        qobject_cast<QDialog*>(d)->reject();
    });
    Control<QAction>(f, "FileClientReport")->trigger();
    EXPECT_EQ(client, "Ann Maple");
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ArchiveWindowTest, ListsNewestFirstAndNarrowsAsTheUserTypes) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    Stored("4410-0001", "Basement", now.addDays(-10));
    Stored("4410-0002", "Kitchen", now.addDays(-1));
    Stored("7700-0003", "basement stairs", now);
    StoreWithInstallDir();
    TMainForm& f = Create();
    TArchiveForm& w = OpenWindow(f);
    EXPECT_EQ(Serials(w), (QStringList{"7700-0003", "4410-0002", "4410-0001"}));
    EXPECT_EQ(w.Model->data(w.Model->index(0, TArchiveModel::State)).toString(), "complete");
    EXPECT_EQ(w.Model->data(w.Model->index(0, TArchiveModel::Readings)).toString(), "6");
    w.Search->setText("base");
    EXPECT_EQ(Serials(w), (QStringList{"7700-0003", "4410-0001"}));
    w.Search->setText("4410");
    EXPECT_EQ(Serials(w), (QStringList{"4410-0002", "4410-0001"}));
    w.Search->clear();
    w.FromDate->setDate(now.toLocalTime().date().addDays(-2));
    w.FromCheck->setChecked(true);
    EXPECT_EQ(Serials(w), (QStringList{"7700-0003", "4410-0002"}));
    w.ToDate->setDate(now.toLocalTime().date().addDays(-1));
    w.ToCheck->setChecked(true);
    EXPECT_EQ(Serials(w), (QStringList{"4410-0002"}));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ArchiveWindowTest, OpenReportAndRebuildAskBeforeReplacingTheEditor) {
    const QByteArray raw = Printout();
    Stored("4410-0042", "Attic", QDateTime::currentDateTimeUtc(), raw);
    StoreWithInstallDir();
    TMainForm& f = Create(true);
    Type("my unsaved notes");
    TArchiveForm& w = OpenWindow(f);
    Select(w, 0);
    {
        ModalAnswer cancel(ModalAnswer::Press(QMessageBox::Cancel));
        w.OpenReportButton->click();
        EXPECT_EQ(cancel.Answered(), 1);
    }
    EXPECT_EQ(EditorLines(), QStringList{"my unsaved notes"});
    {
        ModalAnswer no(ModalAnswer::Press(QMessageBox::No));
        w.OpenReportButton->click();
        EXPECT_EQ(no.Answered(), 1);
    }
    TReportInfo stored;
    stored.Enabled = true;
    stored.SerialNumber = "4410-0042";
    stored.Location = "Attic";
    EXPECT_EQ(EditorLines(), BuildReport(raw, stored));
    EXPECT_EQ(f.windowTitle(), "Halvorn - Untitled");
    EXPECT_TRUE(Modified());
    // Rebuild: the bytes again with the report information in force now (disabled here).
    {
        ModalAnswer no(ModalAnswer::Press(QMessageBox::No));
        w.RebuildButton->click();
    }
    EXPECT_EQ(EditorLines(), BuildReport(raw, f.Information().Info()));
    EXPECT_NE(EditorLines(), BuildReport(raw, stored));
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}

TEST_F(ArchiveWindowTest, ExportDeleteAndImport) {
    const QByteArray raw = Printout(5);
    Stored("4410-0042", "Attic", QDateTime::currentDateTimeUtc(), raw);
    Stored("4410-0043", "Cellar", QDateTime::currentDateTimeUtc().addSecs(-60));
    StoreWithInstallDir();
    TMainForm& f = Create();
    TArchiveForm& w = OpenWindow(f);
    Select(w, 0);
    const QString exported = Install.filePath("exported.raw");
    {
        ModalAnswer choose(ModalAnswer::ChooseFile(exported));
        w.ExportRawButton->click();
    }
    EXPECT_EQ(TestSupport::ReadFile(exported), raw);

    {
        ModalAnswer no(ModalAnswer::Press(QMessageBox::No));
        w.DeleteButton->click();
        ASSERT_EQ(no.Texts().size(), 1);
        EXPECT_TRUE(no.Texts()[0].contains("serial # 4410-0042, Attic"))
            << no.Texts()[0].toStdString();
    }
    EXPECT_EQ(w.Model->rowCount(), 2);
    {
        ModalAnswer yes(ModalAnswer::Press(QMessageBox::Yes));
        w.DeleteButton->click();
    }
    EXPECT_EQ(Serials(w), QStringList{"4410-0043"});

    // The exported bytes come back as an imported capture, once.
    for (int round = 0; round < 2; ++round) {
        ModalAnswer choose(ModalAnswer::ChooseFile(exported));
        w.ImportButton->click();
    }
    EXPECT_EQ(w.Model->rowCount(), 2);
    EXPECT_EQ(w.CountLabel->text(), "0 imported, 1 already archived");
    const std::vector<TArchiveRow> rows = Archive().List({"4410-0042", {}, {}});
    ASSERT_EQ(rows.size(), 0u); // imported with the information in force: none
    EXPECT_EQ(Archive().List().size(), 2u);
    EXPECT_TRUE(Errors.isEmpty()) << Errors.join('\n').toStdString();
}
