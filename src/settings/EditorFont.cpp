#include "settings/EditorFont.h"

#include <QFontDatabase>
#include <QFontInfo>

namespace Settings {

namespace {

// Whether any font answers to Name: a family of that name, or an alias that leads elsewhere
// than the face every unknown name falls back to.
bool Answers(const QString& Name) {
    if (QFontDatabase::hasFamily(Name))
        return true;
    const QString unknown = QFontInfo(QFont(QStringLiteral("Halvorn no such face"))).family();
    return QFontInfo(QFont(Name)).family() != unknown;
}

} // namespace

QFont FontOf(const TEditorFont& F) {
    QFont font =
        Answers(F.Name) ? QFont(F.Name) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(F.Size);
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(F.Bold);
    font.setItalic(F.Italic);
    font.setUnderline(F.Underline);
    font.setStrikeOut(F.StrikeOut);
    return font;
}

QColor ColorOf(int Value, const QColor& WindowText) {
    const auto v = static_cast<quint32>(Value);
    if ((v & 0xFF000000u) == 0x80000000u)
        return WindowText;
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

} // namespace Settings
