#pragma once

#include "settings/Settings.h"

#include <QDialog>

class QComboBox;
class QFontDialog;

// The Font command's dialog: Qt's font chooser with a colour list beside it, since the editor
// font's colour is part of what the user picks and what the settings keep.
class TFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFontDialog(QWidget* Parent = nullptr);

    // Opens on the face actually shown: an alias or an unknown name is no face of the chooser.
    void SetFont(const Settings::TEditorFont& Font);
    // The chosen font; the size stays Font's own when the chooser has none in points, and the
    // stored name stays when the face shown was kept.
    Settings::TEditorFont ChosenFont(const Settings::TEditorFont& Font) const;

    QFontDialog* FontPanel;
    QComboBox* ColorBox;

private:
    QString FShownFamily;
};
