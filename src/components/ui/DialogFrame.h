#pragma once

#include <QSize>

class QDialog;
class QWidget;

// The fixed dialog frame of the library's windows.
namespace DialogFrame {

// A dialog border of a fixed client size: no resizing, no minimise or maximise button, and the
// forms' font, "MS Sans Serif" 8 point (fontconfig substitutes a sans-serif face on Linux).
void MakeFixed(QDialog* Dialog, QSize Client);

// Moves a top-level window to the middle of the screen it is on (or the primary screen).
void CenterOnScreen(QWidget* Window);

} // namespace DialogFrame
