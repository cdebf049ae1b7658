#pragma once

#include "measurement/Job.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// "File > Client Report (PDF)...": what the report handed to a client tells beyond the
// readings: the job of this measurement and the inspector who signs it. Hands back plain
// values; the caller keeps them (the job with the measurement, the inspector in the settings).
class TClientReportDialog : public QDialog {
    Q_OBJECT
public:
    TClientReportDialog(const TJob& Job, const TInspector& Inspector, QWidget* Parent = nullptr);

    // Only meaningful after OK.
    TJob Job() const;
    // The inspector; LogoFile is the logo shown now (a file the user chose, or the stored one;
    // empty: none).
    TInspector Inspector() const;
    // A logo file the user chose in this dialog, to be stored; empty when the logo stayed.
    QString ChosenLogo() const { return FChosenLogo; }

    // Controls, by object name: "JobClient", "JobAddress", "JobPlacement", "JobTestType",
    // "JobConditions", "JobNotes", "InspectorName", "InspectorCertification", "InspectorLogo",
    // "InspectorLogoChoose", "InspectorLogoRemove", "InspectorSignature".
    QLineEdit *ClientEdit, *AddressEdit, *PlacementEdit, *NameEdit, *CertificationEdit;
    QComboBox *TestTypeBox, *ConditionsBox;
    QPlainTextEdit* NotesEdit;
    QLabel* LogoLabel;
    QCheckBox* SignatureCheck;

private:
    void ChooseLogo();
    void ShowLogo();
    QString FLogo;       // the logo as it stands
    QString FChosenLogo; // one chosen here
};
