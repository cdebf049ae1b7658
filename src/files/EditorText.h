#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

// The report as the editor holds it, and as halvorn-cli reads it the way the window would. A
// report's lines are Latin-1 text (one character a byte, see ReportText); the editor's text
// is one editor line a file line.
namespace EditorText {

// A line feed inside a report line cannot live in the editor (it would start a new line), so
// the editor shows it as the line-feed symbol and every way out of the editor turns it back.
constexpr QChar InLineFeed(0x240A);

// The editor's text for FileLines.
QString Shown(const QStringList& FileLines);

// The file lines of the editor's raw text (QTextDocument::toRawText: paragraphs end at
// U+2029, and a no-break space, byte 160, stays one rather than becoming a space).
QStringList FileLines(const QString& RawText);

// The report lines of file lines: a line ends at each line break, so a trailing empty line
// after the last break is no line.
QStringList ReportLines(QStringList FileLines);

// The file lines once the program has set Lines: every set line ends with a line break, so a
// saved report ends with CR LF.
QStringList FileLinesOf(const QStringList& Lines);

} // namespace EditorText
