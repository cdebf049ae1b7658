#pragma once

#include "info/InfoFile.h"
#include "info/OptionalDateEdit.h"
#include "measurement/Summary.h"
#include "report/ReportInfo.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

// "Information Setup": the report information. Created once at start-up after the main
// window and kept for the whole run; its controls are the only live copy of the information.
class TInfoForm : public QDialog {
    Q_OBJECT
public:
    // InfoEnable is the main window's flag at start; EnableChanged keeps it in step with the
    // enable box.
    explicit TInfoForm(int InfoEnable, QWidget* Parent = nullptr);

    // Sets the enable box from InfoEnable and reads the information file of the stored
    // installation folder (none without a usable folder). A file that cannot be read whole
    // raises its error after the fields before the fault have been taken.
    void FormCreate();

    // Runs the rebuild of the report on OK; the main window sets it.
    std::function<void(const TReportInfo&)> OnApply;
    // Shows an error of OK that does not stop the dialog (a calibration date not stored).
    std::function<void(const QString&)> OnError;

    TReportInfo Snapshot() const;
    InfoFile::TInfoValues Values() const;
    void SetValues(const InfoFile::TInfoValues& Values, int FieldsRead = InfoFile::FieldCount);

    // A missing file leaves the controls alone. A file that cannot be read whole raises an
    // Exception naming the file and the line, and stays as it is: WriteInfoFile leaves it
    // alone unless the user has confirmed the dialog with OK since.
    void ReadInfoFile(const QString& Path);
    // Writes the controls to Path. Over a file that could not be read, and only after OK, the
    // old file is first kept as "<Path>.unreadable"; without OK nothing is written and the
    // Exception says so.
    void WriteInfoFile(const QString& Path);
    QString InfoFilePath() const { return FInfoPath; }

    // The lines of a memo as the box shows them: a long line wrapped at the box's width
    // counts as several lines.
    static QStringList MemoLines(const QPlainTextEdit* Memo);

    QCheckBox* EnableCheckBox;
    QLineEdit* AddSNEdit;
    QToolButton* AddSpeedButton;
    QListWidget* SNListBox;
    QPlainTextEdit* HeaderMemo;
    QDateTimeEdit* StartDate;
    QDateTimeEdit* StartTime;
    QDateTimeEdit* EndDate;
    QDateTimeEdit* EndTime;
    QLineEdit* SNEdit;
    QLineEdit* LocationEdit;
    QPlainTextEdit* FooterMemo;
    QPushButton* OKButton;
    // The calibration date of the serial number selected in SNListBox; invalid means none.
    TOptionalDateEdit* CalibratedDate;

    // The dates as the dialog holds them, changes since the last OK included.
    TCalibrationDates Calibration() const { return FCalibration; }

    void AddSpeedButtonClick();
    void SNListBoxDblClick();
    void EnableCheckBoxClick();
    void OKButtonClick();

signals:
    // 1 when the box is checked, else 0: the value "InfoEnable" keeps.
    void EnableChanged(int InfoEnable);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void SNListBoxKeyDown(int Key);
    void ShowCalibration();
    void CalibratedDateChange();
    // Stores the dates changed since the last OK; false when one could not be stored.
    bool WriteCalibration();
    int FInfoEnable;
    QString FInfoPath;
    // The file that could not be read whole, and whether OK has been chosen since.
    QString FUnreadablePath;
    bool FConfirmed = false;
    TCalibrationDates FCalibration;
    QStringList FCalibrationChanged;
    bool FShowingCalibration = false;
};
