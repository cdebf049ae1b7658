#pragma once

#include "settings/Settings.h"

#include <QPlainTextEdit>
#include <QStringList>

// The main window's editor of one report: no wrap, a tab inserts a tab, its modified flag is
// the document's. Lines go in and come out byte for byte as the report's files hold them.
class TReportEditor : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit TReportEditor(QWidget* Parent = nullptr);

    // The text as report lines (a line ends at each line break; a trailing empty line after
    // the last break is no line) and the whole text as file lines.
    QStringList ReportLines() const;
    QStringList FileLines() const;
    // Replaces the text with report lines. Modified says whether the result counts as unsaved;
    // then the replacement is an edit the user can undo.
    void SetLines(const QStringList& Lines, bool Modified);
    // Replaces the text with a file's lines, unmodified, with no undo history.
    void SetFileLines(const QStringList& FileLines);

    bool Modified() const;
    void SetModified(bool Modified);

    // The stored face, size, style and colour.
    void SetStoredFont(const Settings::TEditorFont& Font);
};
