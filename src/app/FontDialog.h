#pragma once

#include "app/Settings.h"

#include <QDialog>

class QComboBox;
class QFontDialog;

// The font the editor shows for the stored values: the stored face where a font answers to
// its name (a family, or an alias such as "Courier New" for Liberation Mono), else the
// system's fixed-pitch font, never a proportional one picked for an unknown name.
QFont ScreenFont(const Settings::TEditorFont& Font);

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
