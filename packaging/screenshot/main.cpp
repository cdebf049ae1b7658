// halvorn-screenshot: the README's pictures, made from the real windows. Run by
// scripts/screenshots under a virtual display; not installed.
//
//   halvorn-screenshot OUTPUT_FOLDER PDF_FILE
//
// Writes main-window.png, information-setup.png, archive.png and client-report-dialog.png into
// OUTPUT_FOLDER and prints the report into PDF_FILE. Works in a settings store of its own,
// never the user's.
#include "Printout.h"

#include "app/Application.h"
#include "app/ArchiveForm.h"
#include "app/ClientReportDialog.h"
#include "app/MainForm.h"
#include "app/ReportEditor.h"
#include "archive/Archive.h"
#include "files/ReportPrinter.h"
#include "info/InfoForm.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"
#include "report/ReportBuilder.h"

#include <QAction>
#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextCursor>
#include <cstdio>

namespace {

TReportInfo SampleInformation() {
    TReportInfo Info;
    Info.Enabled = true;
    Info.SerialNumbers = {QStringLiteral("4410-02817"), QStringLiteral("4410-03355")};
    Info.SerialNumber = QStringLiteral("4410-02817");
    Info.Location = QStringLiteral("12 Birch Lane, basement, north wall");
    Info.Header = {QStringLiteral("Northfield Radon Testing"),
                   QStringLiteral("Continuous radon monitor report")};
    Info.Footer = {QStringLiteral("Measured under closed-house conditions."),
                   QStringLiteral("Technician: A. Lindqvist")};
    const QDate Start(2026, 3, 2);
    Info.StartDate = QDateTime(Start, QTime(9, 0), Qt::UTC);
    Info.StartTime = QDateTime(Start, QTime(9, 0), Qt::UTC);
    Info.EndDate = QDateTime(Start.addDays(2), QTime(9, 0), Qt::UTC);
    Info.EndTime = QDateTime(Start.addDays(2), QTime(9, 0), Qt::UTC);
    return Info;
}

TJob SampleJob(const char* Client, const char* Address, TTestType Type) {
    TJob Job;
    Job.Client = QLatin1String(Client);
    Job.Address = QLatin1String(Address);
    Job.Placement = QStringLiteral("Basement, north wall, 1 m above the floor");
    Job.TestType = Type;
    Job.Conditions = TConditions::Maintained;
    return Job;
}

// A season of measurements in the archive: several houses, instruments and ends.
void FillArchive(const QString& InstallDir) {
    struct TSample {
        int Day, Hour, Hours;
        const char *Serial, *Location, *Client;
        TArchiveState State;
    };
    const TSample Samples[] = {
        {2, 9, 48, "4410-02817", "12 Birch Lane, basement, north wall", "Dana Whitfield",
         TArchiveState::Complete},
        {5, 14, 72, "4410-03355", "Elm Street School, room 104", "Elm Street School",
         TArchiveState::Complete},
        {9, 10, 30, "4410-02817", "7 Harbour Road, crawl space", "", TArchiveState::Stopped},
        {12, 8, 48, "4410-03355", "Elm Street School, room 212", "Elm Street School",
         TArchiveState::Complete},
        {16, 16, 96, "4410-02817", "31 Mill Court, basement", "Lee Okafor",
         TArchiveState::Complete},
        {20, 11, 12, "4410-03355", "31 Mill Court, ground floor", "", TArchiveState::Interrupted},
    };
    TArchive Archive(TArchive::PathIn(InstallDir));
    for (const TSample& Sample : Samples) {
        SimPrintout::TOptions Printout;
        Printout.Hours = Sample.Hours;
        Printout.Seed = Sample.Day;
        TArchiveEntry Entry;
        Entry.ReceivedAt = QDateTime(QDate(2026, 3, Sample.Day), QTime(Sample.Hour, 0), Qt::UTC);
        Entry.Port = QStringLiteral("COM1");
        Entry.Device =
            QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3QZX-if00-port0");
        Entry.Raw = SimPrintout::Generate(Printout);
        if (Sample.State != TArchiveState::Complete)
            Entry.Raw.truncate(Entry.Raw.size() / 2);
        Entry.State = Sample.State;
        Entry.Info = SampleInformation();
        Entry.Info.SerialNumber = QLatin1String(Sample.Serial);
        Entry.Info.Location = QLatin1String(Sample.Location);
        const QDate Start = QDate(2026, 3, Sample.Day).addDays(-2);
        Entry.Info.StartDate = Entry.Info.StartTime = QDateTime(Start, QTime(9, 0), Qt::UTC);
        const qint64 Id = Archive.Store(Entry);
        if (*Sample.Client)
            Archive.SetJob(Id, SampleJob(Sample.Client, Sample.Location, TTestType::RealEstate));
    }
}

bool Save(QWidget* Widget, const QString& Path) {
    if (Widget->grab().save(Path))
        return true;
    std::fprintf(stderr, "halvorn-screenshot: cannot write %s\n", qPrintable(Path));
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: halvorn-screenshot OUTPUT_FOLDER PDF_FILE\n");
        return 2;
    }
    QTemporaryDir Settings;
    qputenv("XDG_CONFIG_HOME", Settings.path().toLocal8Bit());
    THalvornApplication App(argc, argv);
    const QString Output = QDir(App.arguments().at(1)).absolutePath();
    const QString Pdf = App.arguments().at(2);
    {
        TRegistry Store;
        Store.OpenKey(HalvornSettingsKey, true);
        Store.WriteInteger(QStringLiteral("Port"), 0);
        Store.WriteInteger(QStringLiteral("InfoEnable"), 1);
        Store.WriteString(QStringLiteral("InstallDir"), Settings.path());
    }
    QDir(Settings.path()).mkpath(QStringLiteral("Data"));

    FillArchive(Settings.path());
    TMainForm* Main = CreateForms();
    auto* Info = Main->findChild<TInfoForm*>();
    if (!Info) {
        std::fprintf(stderr, "halvorn-screenshot: no report information dialog\n");
        return 1;
    }
    Main->Information().Set(SampleInformation());

    SimPrintout::TOptions Printout;
    Printout.Hours = 48;
    const QStringList Report =
        BuildReport(SimPrintout::Generate(Printout), Main->Information().Info());
    auto* Memo = Main->findChild<TReportEditor*>(QStringLiteral("TextMemo"));
    Memo->SetLines(Report, true);
    Main->resize(820, 720);
    Main->show();
    Memo->moveCursor(QTextCursor::Start);
    Info->show();
    App.processEvents();

    bool Ok = Save(Main, Output + QStringLiteral("/main-window.png"));
    Ok = Save(Info, Output + QStringLiteral("/information-setup.png")) && Ok;
    Info->hide();
    Main->findChild<QAction*>(QStringLiteral("FileArchive"))->trigger();
    auto* Archive = Main->findChild<TArchiveForm*>(QStringLiteral("ArchiveForm"));
    if (!Archive) {
        std::fprintf(stderr, "halvorn-screenshot: no archive window\n");
        return 1;
    }
    Archive->resize(1100, 380);
    App.processEvents();
    Ok = Save(Archive, Output + QStringLiteral("/archive.png")) && Ok;
    Archive->hide();

    TInspector Inspector;
    Inspector.Name = QStringLiteral("A. Lindqvist");
    Inspector.Certification = QStringLiteral("NRPP 109284 RT");
    Inspector.SignatureLine = true;
    TClientReportDialog Details(
        SampleJob("Dana Whitfield", "12 Birch Lane, Northfield", TTestType::RealEstate),
        Inspector, Main);
    Details.show();
    App.processEvents();
    Ok = Save(&Details, Output + QStringLiteral("/client-report-dialog.png")) && Ok;
    Details.hide();

    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Pdf);
    PrintReport(Printer, Memo->font(), Report, QStringLiteral("Halvorn"));

    Memo->SetModified(false);
    Main->hide();
    return Ok ? 0 : 1;
}
