#pragma once

#include "app/Settings.h"

#include <QDialog>

class QComboBox;
class QFontDialog;

// The Font command's dialog: Qt's font chooser with a colour list beside it, since the editor
// font's colour is part of what the user picks and what the settings keep.
class TFontDialog : public QDialog {
    Q_OBJECT
public:
    explicit TFontDialog(QWidget* Parent = nullptr);

    void SetFont(const Settings::TEditorFont& Font);
    // The chosen font; the size stays Font's own when the chooser has none in points.
    Settings::TEditorFont ChosenFont(const Settings::TEditorFont& Font) const;

    QFontDialog* FontPanel;
    QComboBox* ColorBox;
};
