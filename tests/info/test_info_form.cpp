#include "info/InfoFile.h"
#include "info/InfoForm.h"
#include "info/ReportInformation.h"
#include "measurement/CalibrationDates.h"
#include "platform/DateTimeText.h"
#include "platform/Exception.h"

#include "QtPrint.h"
#include "TestSupport.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <gtest/gtest.h>
#include <memory>

namespace {

QStringList Items(const QListWidget* List) {
    QStringList items;
    for (int i = 0; i < List->count(); ++i)
        items << List->item(i)->text();
    return items;
}

// The report information's model read from Dir (none: no installation folder), and the
// dialog on it.
struct TEditing {
    explicit TEditing(const QString& Dir = {}, bool Enabled = false) {
        Model.Load(Dir, Enabled);
        Form = std::make_unique<TInfoForm>(Model);
    }
    TReportInformation Model;
    std::unique_ptr<TInfoForm> Form;
};

} // namespace

TEST(InfoForm, StartsFromTheUtcClockWithoutAFile) {
    TestSupport::TempConfig config;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    TEditing e({}, true);
    TInfoForm& form = *e.Form;
    EXPECT_TRUE(form.EnableCheckBox->isChecked());
    EXPECT_EQ(form.SNListBox->count(), 0);
    for (QDateTimeEdit* p : {form.StartDate, form.StartTime, form.EndDate, form.EndTime}) {
        const QDateTime v = p->dateTime();
        EXPECT_LE(qAbs(QDateTime(v.date(), v.time(), Qt::UTC).secsTo(before)), 120);
    }
    // No installation folder: no file is read, none at the root of the file system.
    EXPECT_EQ(e.Model.FilePath(), "");
}

TEST(InfoForm, SerialNumberListCommands) {
    TEditing e;
    TInfoForm& form = *e.Form;
    for (const char* sn : {"B-2", "A-1", "B-2", ""}) {
        form.AddSNEdit->setText(sn);
        form.AddSpeedButtonClick();
        EXPECT_TRUE(form.AddSNEdit->text().isEmpty());
    }
    EXPECT_EQ(Items(form.SNListBox), (QStringList{"A-1", "B-2", "B-2"}));

    form.SNListBoxDblClick(); // nothing selected: nothing happens
    EXPECT_TRUE(form.SNEdit->text().isEmpty());
    form.SNListBox->setCurrentRow(0);
    form.SNListBoxDblClick();
    EXPECT_EQ(form.SNEdit->text(), "A-1");

    QKeyEvent other(QEvent::KeyPress, Qt::Key_Insert, Qt::NoModifier);
    QCoreApplication::sendEvent(form.SNListBox, &other);
    EXPECT_EQ(form.SNListBox->count(), 3);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QCoreApplication::sendEvent(form.SNListBox, &del);
    EXPECT_EQ(Items(form.SNListBox), (QStringList{"B-2", "B-2"}));
}

// The enable box keeps the main window's flag in step; whatever closes the dialog (the close
// box here) hands what was typed to the model for the next download, without rebuilding the
// report or writing the file; only OK does that, at once.
TEST(InfoForm, ClosingKeepsWhatWasTypedAndOnlyOkWrites) {
    QTemporaryDir dir;
    TEditing e(dir.path());
    TInfoForm& form = *e.Form;
    int infoEnable = 0;
    int applied = 0;
    QObject::connect(&form, &TInfoForm::EnableChanged, [&](int Value) { infoEnable = Value; });
    form.OnApply = [&](const TReportInfo&) { ++applied; };
    form.show();
    form.EnableCheckBox->click();
    EXPECT_EQ(infoEnable, 1);
    form.LocationEdit->setText("Attic");
    form.close();
    EXPECT_TRUE(e.Model.Info().Enabled);
    EXPECT_EQ(e.Model.Info().Location, "Attic");
    EXPECT_EQ(applied, 0);
    EXPECT_FALSE(QFile::exists(e.Model.FilePath()));
    form.show();
    EXPECT_EQ(form.LocationEdit->text(), "Attic");
    form.EnableCheckBox->click();
    EXPECT_EQ(infoEnable, 0);
    form.OKButtonClick();
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(e.Model.Info().Enabled);
    EXPECT_TRUE(TestSupport::ReadFile(e.Model.FilePath()).endsWith("Attic\r\n"));
}

TEST(InfoForm, MemoLinesAreTheLinesAsTheBoxShowsThem) {
    TEditing e;
    TInfoForm& form = *e.Form;
    EXPECT_TRUE(TInfoForm::MemoLines(form.HeaderMemo).isEmpty());
    form.HeaderMemo->setPlainText("Short\n\n" + QString(40, 'w') + " " + QString(40, 'x'));
    const QStringList lines = TInfoForm::MemoLines(form.HeaderMemo);
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines[0], "Short");
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines.mid(2).join(""), QString(40, 'w') + " " + QString(40, 'x'));
}

TEST(InfoForm, FileRoundTripThroughTheControls) {
    QTemporaryDir dir;
    {
        TEditing a(dir.path());
        a.Form->SNListBox->addItems({"Z9", "K2"});
        a.Form->HeaderMemo->setPlainText("Header one\nHeader two");
        a.Form->StartTime->setDateTime(QDateTime(QDate(2026, 1, 2), QTime(0, 0), Qt::UTC));
        // A date picker still holds a full date and time.
        a.Form->EndDate->setDateTime(QDateTime(QDate(2026, 1, 3), QTime(13, 14, 15), Qt::UTC));
        a.Form->LocationEdit->setText("Attic");
        a.Form->OKButtonClick();
    }
    TEditing b(dir.path());
    EXPECT_EQ(Items(b.Form->SNListBox), (QStringList{"K2", "Z9"}));
    EXPECT_EQ(TInfoForm::MemoLines(b.Form->HeaderMemo), (QStringList{"Header one", "Header two"}));
    EXPECT_EQ(b.Form->StartTime->dateTime().time(), QTime(0, 0));
    EXPECT_EQ(b.Form->StartTime->dateTime().date(), QDate(2026, 1, 2));
    EXPECT_EQ(b.Form->EndDate->dateTime().time(), QTime(13, 14, 15));
    EXPECT_EQ(b.Form->LocationEdit->text(), "Attic");
    EXPECT_TRUE(b.Form->FooterMemo->toPlainText().isEmpty());
}

TEST(InfoForm, BadFileRaisesAfterTakingTheFieldsBeforeIt) {
    QTemporaryDir dir;
    const QString path = InfoFile::PathIn(dir.path());
    TestSupport::WriteFile(path, "1\r\nS1\r\nbad\r\n");
    TReportInformation model;
    try {
        model.Load(dir.path(), false);
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message.startsWith("Cannot read the report information file " + path +
                                         ": line 3: 'bad' is not a valid integer value\n"))
            << e.Message.toStdString();
    }
    EXPECT_EQ(model.Info().SerialNumbers, QStringList{"S1"});
    EXPECT_TRUE(model.Info().Header.isEmpty());
}

// A file that could not be read whole is written over only after OK, and then kept aside
// first, never over a file kept before.
TEST(InfoForm, UnreadableFileIsKeptUnlessConfirmed) {
    QTemporaryDir dir;
    const QString path = InfoFile::PathIn(dir.path());
    const QByteArray unreadable[] = {"0\r\n0\r\n0\r\n05.03.2026 09:00:00\r\n", "-5\r\n",
                                     "1\r\nA\r\n"};
    QStringList kept;
    for (const QByteArray& bytes : unreadable) {
        SCOPED_TRACE(bytes.toStdString());
        TestSupport::WriteFile(path, bytes);
        TReportInformation model;
        EXPECT_THROW(model.Load(dir.path(), false), Exception);
        try {
            model.Save();
            ADD_FAILURE() << "written without OK";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message.contains("not saved")) << e.Message.toStdString();
        }
        EXPECT_EQ(TestSupport::ReadFile(path), bytes);

        TInfoForm form(model);
        form.LocationEdit->setText("Attic");
        form.OKButtonClick();
        EXPECT_TRUE(TestSupport::ReadFile(path).endsWith("Attic\r\n"));
        QStringList now = QDir(dir.path()).entryList({"info.zev.*"}, QDir::Files);
        for (const QString& k : kept)
            now.removeAll(k);
        ASSERT_EQ(now.size(), 1);
        kept << now.first();
        EXPECT_EQ(TestSupport::ReadFile(dir.filePath(kept.last())), bytes);
    }
    EXPECT_EQ(kept, (QStringList{"info.zev.unreadable", "info.zev.unreadable.2",
                                 "info.zev.unreadable.3"}));
}

// OK cannot write the file: one message naming it, the dialog closes, and what stood there
// stays (here a folder in the file's place).
TEST(InfoForm, FailedWriteNamesThePathAndKeepsWhatStoodThere) {
    QTemporaryDir dir;
    TEditing e(dir.path());
    QStringList errors;
    e.Form->OnError = [&](const QString& Text) { errors << Text; };
    ASSERT_TRUE(QDir().mkpath(e.Model.FilePath() + "/inside"));
    e.Form->OKButtonClick();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(e.Model.FilePath())) << errors[0].toStdString();
    EXPECT_TRUE(QFileInfo(e.Model.FilePath() + "/inside").isDir());
}

// Enter in the S/N box adds the number and leaves the dialog open.
TEST(InfoForm, EnterInTheSerialNumberBoxAddsIt) {
    TEditing e;
    TInfoForm& form = *e.Form;
    bool applied = false;
    form.OnApply = [&](const TReportInfo&) { applied = true; };
    form.show();
    form.AddSNEdit->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
        form.AddSNEdit->setText(key == Qt::Key_Return ? "R-1" : "E-2");
        QKeyEvent enter(QEvent::KeyPress, key, Qt::NoModifier, "\r");
        QCoreApplication::sendEvent(form.AddSNEdit, &enter);
    }
    EXPECT_EQ(Items(form.SNListBox), (QStringList{"E-2", "R-1"}));
    EXPECT_TRUE(form.AddSNEdit->text().isEmpty());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(applied);
}

// Header and footer lines that do not fit get a scroll bar, and the lines the report takes
// are the lines the box shows.
TEST(InfoForm, MemosScrollAndWrapAsTheyShow) {
    TEditing e;
    TInfoForm& form = *e.Form;
    // Opening copies the model into the controls: typed afterwards, as a user does.
    form.show();
    form.HeaderMemo->setPlainText("one\ntwo\nthree\nfour\nfive\nsix");
    form.FooterMemo->setPlainText(QString(30, 'w') + " " + QString(30, 'x') + " " +
                                  QString(30, 'y') + "\nshort");
    const QStringList footer = TInfoForm::MemoLines(form.FooterMemo);
    QCoreApplication::processEvents();
    for (QPlainTextEdit* memo : {form.HeaderMemo, form.FooterMemo}) {
        EXPECT_TRUE(memo->verticalScrollBar()->isVisible());
        EXPECT_GT(memo->verticalScrollBar()->maximum(), 0);
    }
    int shown = 0;
    for (QTextBlock b = form.FooterMemo->document()->begin(); b.isValid(); b = b.next())
        shown += b.layout()->lineCount();
    EXPECT_EQ(footer.size(), shown);
    EXPECT_GE(footer.size(), 4);
    EXPECT_EQ(TInfoForm::MemoLines(form.FooterMemo), footer);
}

namespace {

const QByteArray CalibrationStore = "Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n"
                                    "\"Port\"=dword:00000001\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410\\"
                                    "Calibration]\r\n"
                                    "\"A-1\"=\"2025-06-30\"\r\n"
                                    "\"B-2\"=\"30.06.2025\"\r\n"
                                    "\"C-3\"=dword:00000001\r\n"
                                    "\"D-4\"=\"2025-02-30\"\r\n";

void Select(TInfoForm& Form, const QString& Serial) {
    Form.SNListBox->setCurrentItem(Form.SNListBox->findItems(Serial, Qt::MatchExactly).first());
}

} // namespace

TEST(CalibrationDates, ReadsOnlyStringsOfValidIsoDates) {
    TestSupport::TempConfig config;
    EXPECT_TRUE(CalibrationDates::Read().isEmpty()); // no store
    config.WriteStore(CalibrationStore);
    EXPECT_EQ(CalibrationDates::Read(), (TCalibrationDates{{"A-1", QDate(2025, 6, 30)}}));
    config.WriteStore("not a store\r\n");
    EXPECT_THROW(CalibrationDates::Read(), ERegistryException);
}

TEST(CalibrationDates, WriteStoresAndRemovesOneValueLeavingTheRest) {
    TestSupport::TempConfig config;
    config.WriteStore(CalibrationStore);
    CalibrationDates::Write("E 5", QDate(2026, 1, 2));
    CalibrationDates::Write("A-1", QDate());
    CalibrationDates::Write("Z-9", QDate()); // none stored: nothing to remove
    EXPECT_EQ(CalibrationDates::Read(), (TCalibrationDates{{"E 5", QDate(2026, 1, 2)}}));
    const QByteArray store = config.ReadStore();
    EXPECT_TRUE(store.contains("\"E 5\"=\"2026-01-02\"")) << store.constData();
    EXPECT_TRUE(store.contains("\"B-2\"=\"30.06.2025\"")) << store.constData();
    EXPECT_TRUE(store.contains("\"Port\"=dword:00000001")) << store.constData();
}

TEST(InfoForm, CalibratedDateFollowsTheSelectedSerialNumberAndIsStoredOnOk) {
    TestSupport::TempConfig config;
    config.WriteStore(CalibrationStore);
    TEditing e;
    TInfoForm& form = *e.Form;
    QStringList errors;
    form.OnError = [&](const QString& Text) { errors << Text; };
    EXPECT_FALSE(form.CalibratedDate->isEnabled()); // nothing selected
    for (const char* sn : {"A-1", "B-2"}) {
        form.AddSNEdit->setText(sn);
        form.AddSpeedButtonClick();
    }
    Select(form, "A-1");
    EXPECT_TRUE(form.CalibratedDate->isEnabled());
    EXPECT_EQ(form.CalibratedDate->date(), QDate(2025, 6, 30));
    Select(form, "B-2");
    EXPECT_EQ(form.CalibratedDate->text(), "none");
    form.CalibratedDate->setDate(QDate(2026, 3, 1));
    Select(form, "A-1");
    form.CalibratedDate->setDate(QDate()); // back to none
    // Not stored before OK.
    EXPECT_EQ(CalibrationDates::Read().value("B-2"), QDate());

    form.OKButtonClick();
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(CalibrationDates::Read(), (TCalibrationDates{{"B-2", QDate(2026, 3, 1)}}));
    EXPECT_EQ(e.Model.Info().Calibration, (TCalibrationDates{{"B-2", QDate(2026, 3, 1)}}));
    EXPECT_EQ(e.Model.Info().SerialNumbers, (QStringList{"A-1", "B-2"}));
}

TEST(InfoForm, CalibratedDateNotStoredIsReportedAndKeptForTheNextOk) {
    TestSupport::TempConfig config;
    TEditing e;
    TInfoForm& form = *e.Form;
    QStringList errors;
    form.OnError = [&](const QString& Text) { errors << Text; };
    form.AddSNEdit->setText("A-1");
    form.AddSpeedButtonClick();
    Select(form, "A-1");
    form.CalibratedDate->setDate(QDate(2026, 3, 1));
    // The store's folder is a file: nothing can be written.
    TestSupport::WriteFile(config.ConfigHome() + "/Tamsor", "in the way");
    form.OKButtonClick();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith("The calibration date of \"A-1\" was not stored."))
        << errors[0].toStdString();
    QFile::remove(config.ConfigHome() + "/Tamsor");
    form.OKButtonClick();
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(CalibrationDates::Read().value("A-1"), QDate(2026, 3, 1));
}

// A date typed in the locale's short format is taken, a text that is none leaves the date as
// it was, an empty field is none, and the calendar opens at the current month when there is
// no date.
TEST(InfoForm, CalibratedDateTypedClearedAndPicked) {
    TestSupport::TempConfig config;
    TEditing e;
    TInfoForm& form = *e.Form;
    // The dialog's dates as closing it hands them to the model.
    const auto Calibration = [&] {
        form.done(QDialog::Rejected);
        return e.Model.Info().Calibration;
    };
    form.AddSNEdit->setText("A-1");
    form.AddSpeedButtonClick();
    Select(form, "A-1");
    TOptionalDateEdit& edit = *form.CalibratedDate;
    const QString typed = DateTimeText::FormatDate(QDate(2026, 3, 15));
    for (const auto& [Text, Date, Shown] :
         {std::tuple{typed, QDate(2026, 3, 15), typed},
          std::tuple{QString("none3152026"), QDate(2026, 3, 15), typed},
          std::tuple{QString(""), QDate(), QString("none")},
          std::tuple{typed, QDate(2026, 3, 15), typed},
          std::tuple{QString("none"), QDate(), QString("none")}}) {
        SCOPED_TRACE(Text.toStdString());
        edit.Edit->setText(Text);
        emit edit.Edit->editingFinished();
        EXPECT_EQ(edit.date(), Date);
        EXPECT_EQ(edit.text(), Shown);
    }
    EXPECT_EQ(Calibration(), TCalibrationDates());
    edit.ShowCalendar();
    EXPECT_EQ(edit.Calendar->yearShown(), QDate::currentDate().year());
    EXPECT_EQ(edit.Calendar->monthShown(), QDate::currentDate().month());
    emit edit.Calendar->clicked(QDate(2025, 12, 1));
    EXPECT_FALSE(edit.Calendar->isVisible());
    EXPECT_EQ(Calibration(), (TCalibrationDates{{"A-1", QDate(2025, 12, 1)}}));
}
