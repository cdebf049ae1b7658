#pragma once

#include <QLocale>
#include <QString>
#include <optional>

enum class TPaper { A4, Letter };

// The paper sizes the program prints on, and which one a user's territory takes by default:
// one rule for the window's printer, "print" and "report-pdf".
namespace Paper {

// "A4" or "Letter": also the command line's spelling.
QString Name(TPaper Paper);
std::optional<TPaper> FromName(const QString& Name);

// Letter where it is the custom (North and Central America, Chile, Colombia, Venezuela, the
// Philippines), A4 elsewhere.
TPaper LocalePaper(const QLocale& Locale = QLocale::system());

} // namespace Paper
