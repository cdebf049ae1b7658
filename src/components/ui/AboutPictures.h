#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures of the About windows, drawn at run time.
namespace AboutPictures {

// The about box's banner behind the product name: 389 by 95 pixels.
QPixmap ProgramBanner();
// The About window's instrument picture: 70 by 48 pixels on a transparent background.
QPixmap InstrumentLogo();
// The check mark of an OK button.
QIcon CheckGlyph();

} // namespace AboutPictures
