#include "app/FontDialog.h"

#include "settings/EditorFont.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QFormLayout>
#include <QVBoxLayout>

namespace {

// The toolkit's named colours as 0x00BBGGRR values, and the window-text system colour.
const std::pair<const char*, int> Colors[] = {
    {"Window Text", Settings::clWindowText},
    {"Black", 0x000000},
    {"Maroon", 0x000080},
    {"Green", 0x008000},
    {"Olive", 0x008080},
    {"Navy", 0x800000},
    {"Purple", 0x800080},
    {"Teal", 0x808000},
    {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},
    {"Red", 0x0000FF},
    {"Lime", 0x00FF00},
    {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},
    {"Fuchsia", 0xFF00FF},
    {"Aqua", 0xFFFF00},
    {"White", 0xFFFFFF},
};

} // namespace

TFontDialog::TFontDialog(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle(QStringLiteral("Font"));
    FontPanel = new QFontDialog(this);
    FontPanel->setWindowFlags(Qt::Widget);
    FontPanel->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    ColorBox = new QComboBox(this);
    for (const auto& [name, value] : Colors)
        ColorBox->addItem(QString::fromLatin1(name), value);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* colorRow = new QFormLayout;
    colorRow->addRow(QStringLiteral("&Color:"), ColorBox);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FontPanel);
    layout->addLayout(colorRow);
    layout->addWidget(buttons);
}

void TFontDialog::SetFont(const Settings::TEditorFont& F) {
    QFont font = Settings::FontOf(F);
    FShownFamily = QFontInfo(font).family();
    font.setFamily(FShownFamily);
    FontPanel->setCurrentFont(font);
    int index = ColorBox->findData(F.Color);
    if (index < 0) {
        // A colour stored by another program or edited by hand stays selectable.
        ColorBox->addItem(QStringLiteral("Custom (%1)").arg(quint32(F.Color), 8, 16, QChar('0')),
                          F.Color);
        index = ColorBox->count() - 1;
    }
    ColorBox->setCurrentIndex(index);
}

Settings::TEditorFont TFontDialog::ChosenFont(const Settings::TEditorFont& F) const {
    const QFont font = FontPanel->currentFont();
    Settings::TEditorFont chosen = F;
    if (font.family() != FShownFamily)
        chosen.Name = font.family();
    if (font.pointSize() > 0)
        chosen.Size = font.pointSize();
    chosen.Color = ColorBox->currentData().toInt();
    chosen.Bold = font.bold();
    chosen.Italic = font.italic();
    chosen.Underline = font.underline();
    chosen.StrikeOut = font.strikeOut();
    return chosen;
}
