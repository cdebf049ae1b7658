#include "files/EditorText.h"

namespace EditorText {

QString Shown(const QStringList& FileLines) {
    QStringList shown = FileLines;
    for (QString& l : shown)
        l.replace(QChar('\n'), InLineFeed);
    return shown.join(QChar('\n'));
}

QStringList FileLines(const QString& RawText) {
    QStringList lines = RawText.split(QChar::ParagraphSeparator);
    for (QString& l : lines)
        l.replace(InLineFeed, QChar('\n'));
    return lines;
}

QStringList ReportLines(QStringList FileLines) {
    if (!FileLines.isEmpty() && FileLines.last().isEmpty())
        FileLines.removeLast();
    return FileLines;
}

QStringList FileLinesOf(const QStringList& Lines) {
    QStringList fileLines = Lines;
    fileLines << QString();
    return fileLines;
}

} // namespace EditorText
