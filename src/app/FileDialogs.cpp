#include "app/FileDialogs.h"

#include "components/ui/NameIconProvider.h"

#include <QDir>
#include <QFileSystemModel>

namespace FileDialogs {

QFileDialog* Make(QWidget* Parent, const QString& Title, QFileDialog::AcceptMode Mode,
                  QFileDialog::FileMode Files, const QStringList& Filters) {
    // Made at the root, whose files are no one's database, and only pointed elsewhere once
    // the provider is in place: Qt's own looks into each file of the folder shown.
    auto* Dialog = new QFileDialog(Parent, Title, QDir::rootPath());
    Dialog->setIconProvider(TNameIconProvider::Shared());
    Dialog->setOption(QFileDialog::DontUseNativeDialog);
    Dialog->setAcceptMode(Mode);
    Dialog->setFileMode(Files);
    Dialog->setNameFilters(Filters);
    QObject::connect(Dialog, &QFileDialog::filterSelected, Dialog,
                     [Dialog](const QString& Filter) { ShowAllFilesFor(Dialog, Filter); });
    return Dialog;
}

void ShowAllFilesFor(QFileDialog* Dialog, const QString& Filter) {
    if (Filter != AllFilesFilter)
        return;
    if (auto* Model = Dialog->findChild<QFileSystemModel*>())
        Model->setNameFilters({QStringLiteral("*")});
}

} // namespace FileDialogs
