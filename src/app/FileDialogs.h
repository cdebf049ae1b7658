#pragma once

#include <QFileDialog>
#include <QStringList>

// The program's file dialogs: Qt's own (tests drive them), with an icon provider that never
// opens a listed file (the archive's database may be in the folder shown).
namespace FileDialogs {

inline const QString AllFilesFilter = QStringLiteral("All Files (*.*)");

// A dialog with Filters; "All Files (*.*)" keeps its caption but lists names without a dot
// too. Parent owns it.
QFileDialog* Make(QWidget* Parent, const QString& Title, QFileDialog::AcceptMode Mode,
                  QFileDialog::FileMode Files, const QStringList& Filters);

// Lists every file when Filter is the all-files entry (call after selecting a filter by hand).
void ShowAllFilesFor(QFileDialog* Dialog, const QString& Filter);

} // namespace FileDialogs
