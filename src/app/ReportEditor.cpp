#include "app/ReportEditor.h"

#include "files/EditorText.h"
#include "settings/EditorFont.h"

#include <QApplication>
#include <QTextCursor>

TReportEditor::TReportEditor(QWidget* Parent) : QPlainTextEdit(Parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTabChangesFocus(false);
}

QStringList TReportEditor::FileLines() const {
    // The raw text: toPlainText() would turn a no-break space (byte 160) into a space.
    return EditorText::FileLines(document()->toRawText());
}

QStringList TReportEditor::ReportLines() const {
    return EditorText::ReportLines(FileLines());
}

void TReportEditor::SetLines(const QStringList& Lines, bool M) {
    const QString text = EditorText::Shown(EditorText::FileLinesOf(Lines));
    if (M) {
        // A program edit like any other: the user can undo it (a rebuild drops the lines
        // outside the separators, which must not be lost for good).
        QTextCursor all(document());
        all.select(QTextCursor::Document);
        all.insertText(text);
    } else {
        setPlainText(text);
    }
    SetModified(M);
}

void TReportEditor::SetFileLines(const QStringList& Lines) {
    setPlainText(EditorText::Shown(Lines));
    SetModified(false);
}

bool TReportEditor::Modified() const {
    return document()->isModified();
}

void TReportEditor::SetModified(bool M) {
    document()->setModified(M);
}

void TReportEditor::SetStoredFont(const Settings::TEditorFont& Font) {
    setFont(Settings::FontOf(Font));
    QPalette p = palette();
    p.setColor(QPalette::Text,
               Settings::ColorOf(Font.Color, QApplication::palette().color(QPalette::Text)));
    setPalette(p);
}
