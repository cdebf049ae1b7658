#include "files/EditorText.h"
#include "files/ReportText.h"

#include <QTextDocument>
#include <gtest/gtest.h>

namespace {

// Every byte but the line ends, as one line of text.
QString EveryByte() {
    QString line;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            line += QChar(b);
    return line;
}

// The file lines back out of an editor that was given Shown(FileLines).
QStringList ThroughTheEditor(const QStringList& FileLines) {
    QTextDocument document;
    document.setPlainText(EditorText::Shown(FileLines));
    return EditorText::FileLines(document.toRawText());
}

TEST(EditorText, EveryLineComesBackOutOfTheEditorAsItWent) {
    const QString all = EveryByte();
    const struct {
        const char* Name;
        QStringList FileLines;
    } cases[] = {
        {"one empty line", {""}},
        {"every byte", {all}},
        {"every byte, line ended", {all, ""}},
        {"line feeds inside lines", {"a\nb", "\n", "\n\nc\n", ""}},
        {"every byte with line feeds", {"\n" + all + "\n" + all, all + "\n", ""}},
        {"empty lines kept", {"", "", "x", "", ""}},
        {"the symbol's neighbours", {QString(QChar(0x2409)) + QChar(0x240B), ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ThroughTheEditor(c.FileLines), c.FileLines);
        // One editor line a file line.
        EXPECT_EQ(EditorText::Shown(c.FileLines).count('\n'), c.FileLines.size() - 1);
    }
}

// Bytes of a report file, opened into the editor and saved again: the same bytes.
TEST(EditorText, AFileOpenedAndSavedKeepsEveryByte) {
    const QByteArray all = EveryByte().toLatin1();
    const QByteArray files[] = {
        all, all + "\r\n" + all, all + "\r\n", "\r\n\r\n", "",
    };
    for (const QByteArray& bytes : files) {
        SCOPED_TRACE(bytes.size());
        EXPECT_EQ(ReportText::EncodeText(ThroughTheEditor(ReportText::DecodeText(bytes))), bytes);
    }
}

TEST(EditorText, ReportLinesAndFileLines) {
    const struct {
        QStringList FileLines;
        QStringList ReportLines;
    } cases[] = {
        {{}, {}},
        {{""}, {}},
        {{"a"}, {"a"}},
        {{"a", ""}, {"a"}},
        {{"a", "", ""}, {"a", ""}},
        {{"", "a"}, {"", "a"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.FileLines.join('|').toStdString());
        EXPECT_EQ(EditorText::ReportLines(c.FileLines), c.ReportLines);
    }
    // Lines the program sets end with a line break: read back, they are the same lines.
    for (const QStringList& lines :
         {QStringList{}, QStringList{""}, QStringList{"a", "b"}, QStringList{"a", ""}}) {
        SCOPED_TRACE(lines.join('|').toStdString());
        EXPECT_EQ(EditorText::FileLinesOf(lines), QStringList(lines) << QString());
        EXPECT_EQ(EditorText::ReportLines(EditorText::FileLinesOf(lines)), lines);
    }
}

} // namespace
