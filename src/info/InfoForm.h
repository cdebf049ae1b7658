#pragma once

#include "info/OptionalDateEdit.h"
#include "info/ReportInformation.h"
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

// "Information Setup": edits the report information's one model. The model is copied into the
// controls when the dialog opens and back when it closes, by OK or by the close box (what was
// typed is used for the next download either way); only OK rebuilds the report and writes the
// information at once.
class TInfoForm : public QDialog {
    Q_OBJECT
public:
    explicit TInfoForm(TReportInformation& Model, QWidget* Parent = nullptr);

    // Runs the rebuild of the report on OK; the main window sets it.
    std::function<void(const TReportInfo&)> OnApply;
    // Shows an error of OK that does not stop the dialog (the information not written).
    std::function<void(const QString&)> OnError;

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

    void AddSpeedButtonClick();
    void SNListBoxDblClick();
    void EnableCheckBoxClick();
    void OKButtonClick();
    // Closing by any way (OK, the close box, Escape) copies the controls back to the model.
    void done(int Result) override;

signals:
    // 1 when the box is checked, else 0: the value "InfoEnable" keeps.
    void EnableChanged(int InfoEnable);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void SNListBoxKeyDown(int Key);
    void ShowCalibration();
    void CalibratedDateChange();
    // The model into the controls, and back.
    void CopyIn();
    void CopyOut();
    TReportInformation& FModel;
    // The calibration dates as the dialog holds them while it is open.
    TCalibrationDates FCalibration;
    bool FShowingCalibration = false;
};
