#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

// "Select Port": lists the ports present and lets the user pick one (see
// TAdvancedCom::GetComPortDlg). Save closes with mrOk, Cancel (and Escape, and closing the
// window) with mrCancel; Find runs the host's handler and leaves the dialog open.
class TSelectPortDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    TSelectPortDlg(QWidget* Owner, bool ShowInformation);

    QLabel* Label1;
    QLabel* InformationLabel;
    QComboBox* PortComboBox;
    QPushButton* Save;
    QPushButton* Cancel;
    QPushButton* HelpBtn;
    QPushButton* FindButton;
    int HelpContext = 0;

    void FormShow(QObject* Sender);
    void HelpBtnClick(QObject* Sender);
    // Port number of list entry Index: the entry after its first three characters, or -1.
    qint32 ReadPortNumber(int Index) const;
    // The list entry the box's text names, or -1 (nothing chosen, or text that names none).
    int SelectedIndex() const;

    // The host's help system: shows help topic Context. Without one, the dialog says that no
    // help is installed.
    using THelpHook = std::function<void(int Context)>;
    static void SetHelpHook(THelpHook Hook);

    void reject() override;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    const bool FShowInformation;
};
