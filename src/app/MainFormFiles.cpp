// The main window's file commands: the report's own file (Clear, Open, Save, Save As), what is
// made of it (the import-friendly export, the CSV) and printing.
#include "app/FileDialogs.h"
#include "app/MainForm.h"
#include "app/ReportEditor.h"
#include "files/ExportWriter.h"
#include "files/ReportPrinter.h"
#include "files/ReportText.h"
#include "files/SuffixRule.h"
#include "measurement/Measurement.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>

namespace {

const QString TextFilesFilter = QStringLiteral("Text Files (*.txt)");
const QString ExportFilter = QStringLiteral("Import Friendly Format (*.txt)");
using FileDialogs::AllFilesFilter;
using FileDialogs::ShowAllFilesFor;

QFileDialog* MakeFileDialog(QWidget* Parent, const QStringList& Filters, bool Save) {
    QFileDialog* d = FileDialogs::Make(Parent, Save ? QStringLiteral("Save As") : QString(),
                                       Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen,
                                       QFileDialog::AnyFile, Filters);
    d->setDefaultSuffix(QStringLiteral("txt"));
    if (Save)
        d->setOption(QFileDialog::DontConfirmOverwrite);
    return d;
}

} // namespace

void TMainForm::CreateFileDialogs() {
    SaveDialog = MakeFileDialog(this, {TextFilesFilter, ExportFilter, AllFilesFilter}, true);
    OpenDialog = MakeFileDialog(this, {TextFilesFilter, AllFilesFilter}, false);
}

void TMainForm::SetCaption() {
    setWindowTitle(FFileName.isEmpty() ? QStringLiteral("Halvorn - Untitled")
                                       : QStringLiteral("Halvorn - ") + FFileName);
}

bool TMainForm::ConfirmDiscard() {
    if (!TextMemo->Modified())
        return true;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Message"),
                    QStringLiteral("The current file has changed. Save changes?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes:
        FileSaveClick();
        return !TextMemo->Modified();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TMainForm::FileNewClick() {
    if (ConfirmDiscard())
        ClearReport();
}

void TMainForm::ClearReport() {
    FMeasurementId = 0;
    FJob = TJob();
    TextMemo->clear();
    TextMemo->SetModified(false);
    FFileName.clear();
    SetCaption();
    FileNew->setEnabled(false);
}

int TMainForm::SaveFilterIndex() const {
    const int i = SaveDialog->nameFilters().indexOf(SaveDialog->selectedNameFilter());
    return i < 0 ? 1 : i + 1;
}

void TMainForm::FileSaveClick() {
    if (FFileName.isEmpty()) {
        FileSaveAsClick();
        return;
    }
    ReportText::WriteReportText(FFileName, TextMemo->FileLines());
    TextMemo->SetModified(false);
}

void TMainForm::FileSaveAsClick() {
    SaveDialog->selectFile(FFileName);
    ShowAllFilesFor(SaveDialog, SaveDialog->selectedNameFilter());
    if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty())
        return;
    const QString chosen = SaveDialog->selectedFiles().first();
    const bool exportType = SaveFilterIndex() == 2;
    const QString target = ApplySuffix(chosen, exportType);
    if (exportType) {
        // A report the export refuses changes nothing, not even the file name.
        const QByteArray bytes = ExportWriter::BuildExport(EditorLines());
        FFileName = target;
        AtomicWrite::ReplaceFile(FFileName, bytes);
    } else {
        FFileName = target;
        ReportText::WriteReportText(FFileName, TextMemo->FileLines());
    }
    TextMemo->SetModified(false);
    SetCaption();
}

void TMainForm::FileOpenClick() {
    if (!ConfirmDiscard())
        return;
    OpenDialog->selectFile(QString());
    if (OpenDialog->exec() != QDialog::Accepted || OpenDialog->selectedFiles().isEmpty())
        return;
    const QString path = OpenDialog->selectedFiles().first();
    TextMemo->clear();
    TextMemo->SetModified(false);
    FMeasurementId = 0;
    FJob = TJob();
    TextMemo->SetFileLines(ReportText::ReadReportText(path));
    FFileName = path;
    SetCaption();
}

QString TMainForm::AskOutputFile(const QString& Title, const QString& Filter,
                                 const QString& Suffix) {
    std::unique_ptr<QFileDialog> owned(FileDialogs::Make(
        this, Title, QFileDialog::AcceptSave, QFileDialog::AnyFile, {Filter, AllFilesFilter}));
    QFileDialog& dialog = *owned;
    dialog.setDefaultSuffix(Suffix);
    dialog.setDirectory(FFileName.isEmpty() ? SaveDialog->directory()
                                            : QFileInfo(FFileName).absoluteDir());
    if (!FFileName.isEmpty())
        dialog.selectFile(QFileInfo(FFileName).completeBaseName() + u'.' + Suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

TReadings TMainForm::ReadingsOrRefuse(const QString& NotDone) const {
    TReadings readings = Readings::Read(EditorLines());
    // Refused before a name is asked for: there would be nothing to write.
    if (!readings.Refusal.isEmpty())
        throw Exception(NotDone + u' ' + readings.Refusal);
    return readings;
}

void TMainForm::FileExportCsvClick() {
    const TReadings readings = ReadingsOrRefuse(QStringLiteral("The readings were not exported."));
    const QString path = AskOutputFile(QStringLiteral("Export CSV"),
                                       QStringLiteral("CSV Files (*.csv)"), QStringLiteral("csv"));
    if (!path.isEmpty())
        AtomicWrite::ReplaceFile(path, Measurement::Csv(readings));
}

void TMainForm::FilePrintClick() {
    QPrintDialog dialog(&Printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QColor color = TextMemo->palette().color(QPalette::Text);
    // A PDF file is written as every other file is: whole or not at all.
    if (Printer.outputFormat() == QPrinter::PdfFormat && !Printer.outputFileName().isEmpty())
        PrintReportToPdf(Printer.outputFileName(), Printer.pageLayout(), Printer.resolution(),
                         TextMemo->font(), EditorLines(), color);
    else
        PrintReport(Printer, TextMemo->font(), EditorLines(), QString(), color);
}

void TMainForm::FilePrinterSetupClick() {
    QPageSetupDialog dialog(&Printer, this);
    dialog.exec();
}
