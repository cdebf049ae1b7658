// halvorn-screenshot: the README's pictures, made from the real windows. Run by
// scripts/screenshots under a virtual display; not installed.
//
//   halvorn-screenshot OUTPUT_FOLDER PDF_FILE
//
// Writes main-window.png and information-setup.png into OUTPUT_FOLDER and prints the report
// into PDF_FILE. Works in a settings store of its own, never the user's.
#include "Printout.h"

#include "app/Application.h"
#include "app/MainForm.h"
#include "files/ReportPrinter.h"
#include "info/InfoForm.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"
#include "report/ReportBuilder.h"

#include <QDir>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextCursor>
#include <cstdio>

namespace {

InfoFile::TInfoValues SampleInformation() {
    InfoFile::TInfoValues Values;
    Values.SerialNumbers = {QStringLiteral("4410-02817"), QStringLiteral("4410-03355")};
    Values.SNText = QStringLiteral("4410-02817");
    Values.Location = QStringLiteral("12 Birch Lane, basement, north wall");
    Values.Header = {QStringLiteral("Northfield Radon Testing"),
                     QStringLiteral("Continuous radon monitor report")};
    Values.Footer = {QStringLiteral("Measured under closed-house conditions."),
                     QStringLiteral("Technician: A. Lindqvist")};
    const QDate Start(2026, 3, 2);
    Values.StartDate = QDateTime(Start, QTime(9, 0));
    Values.StartTime = QDateTime(Start, QTime(9, 0));
    Values.EndDate = QDateTime(Start.addDays(2), QTime(9, 0));
    Values.EndTime = QDateTime(Start.addDays(2), QTime(9, 0));
    return Values;
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

    TMainForm* Main = CreateForms();
    auto* Info = Main->findChild<TInfoForm*>();
    if (!Info) {
        std::fprintf(stderr, "halvorn-screenshot: no report information dialog\n");
        return 1;
    }
    Info->SetValues(SampleInformation());

    SimPrintout::TOptions Printout;
    Printout.Hours = 48;
    const QStringList Report = BuildReport(SimPrintout::Generate(Printout), Info->Snapshot());
    Main->SetEditorLines(Report, true);
    Main->resize(820, 720);
    Main->show();
    Main->TextMemo->moveCursor(QTextCursor::Start);
    Info->show();
    App.processEvents();

    bool Ok = Save(Main, Output + QStringLiteral("/main-window.png"));
    Ok = Save(Info, Output + QStringLiteral("/information-setup.png")) && Ok;

    QPrinter Printer(QPrinter::HighResolution);
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(Pdf);
    PrintReport(Printer, Main->TextMemo->font(), Report, QStringLiteral("Halvorn"));

    Info->hide();
    Main->SetModified(false);
    Main->hide();
    return Ok ? 0 : 1;
}
