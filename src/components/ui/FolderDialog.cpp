#include "FolderDialog.h"

#include "NameIconProvider.h"

#include "platform/ComponentPalette.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

namespace {

QString Canonical(const QString& Path) {
    const QString canonical = QFileInfo(Path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(Path).absoluteFilePath()) : canonical;
}

bool Within(const QString& Path, const QString& Root) {
    if (Root.isEmpty())
        return true;
    const QString path = Canonical(Path);
    QString root = Canonical(Root);
    if (path == root)
        return true;
    if (!root.endsWith('/'))
        root += '/';
    return path.startsWith(root);
}

bool IsOpenableFolder(const QString& Path) {
    const QFileInfo info(Path);
    return info.isDir() && info.isExecutable();
}

// Qt's folder chooser, held inside Root: navigation that leaves it returns to Root, and a
// folder outside it cannot be accepted.
class TRootedFolderBrowser : public QFileDialog {
public:
    // Made at the root and given a provider that never opens a file before it goes anywhere
    // else: a program's database in a folder shown would lose its locks.
    TRootedFolderBrowser(QWidget* Parent, const QString& Root)
        : QFileDialog(Parent, QString(), QDir::rootPath()), FRoot(Root) {
        setIconProvider(TNameIconProvider::Shared());
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::Directory);
        setOption(QFileDialog::ShowDirsOnly);
        setAcceptMode(QFileDialog::AcceptOpen);
        if (FRoot.isEmpty())
            return;
        setSidebarUrls({QUrl::fromLocalFile(FRoot)});
        setHistory({});
        connect(this, &QFileDialog::directoryEntered, this, [this](const QString& Folder) {
            if (!Within(Folder, FRoot))
                setDirectory(FRoot);
        });
    }

protected:
    void accept() override {
        const QStringList chosen = selectedFiles();
        if (!chosen.isEmpty() && !Within(chosen.first(), FRoot)) {
            setDirectory(FRoot);
            return;
        }
        QFileDialog::accept();
    }

private:
    QString FRoot;
};

} // namespace

TFolderDialog::TFolderDialog(QObject* Owner) : QObject(Owner), FVersion("1.00.00") {
    FOptions.Include(bfOnlyDirs);
}

TFolderDialog::~TFolderDialog() = default;

void TFolderDialog::Register() {
    ComponentPalette::Register(PalettePage, "TFolderDialog");
}

quint32 TFolderDialog::BuildBrowseFlags() const {
    static constexpr struct {
        TBrowseFolderOption Option;
        quint32 Flag;
    } flags[] = {
        {bfComputer, 0x1000},    {bfPrinter, 0x2000},  {bfNotBelowDomain, 0x0002},
        {bfFSAncestors, 0x0008}, {bfOnlyDirs, 0x0001},
    };
    quint32 result = 0;
    for (const auto& f : flags)
        if (FOptions.Contains(f.Option))
            result |= f.Flag;
    return result;
}

QWidget* TFolderDialog::OwnerWindow() const {
    for (QObject* o = parent(); o; o = o->parent())
        if (auto* w = qobject_cast<QWidget*>(o))
            return w->window();
    return QApplication::activeWindow();
}

bool TFolderDialog::Execute() {
    TRootedFolderBrowser browser(OwnerWindow(), FRoot);
    if (!FTitle.isEmpty())
        browser.setWindowTitle(FTitle);
    if (!FSelection.isEmpty() && Within(FSelection, FRoot) && FSelection != FRoot)
        browser.selectFile(FSelection);
    else
        browser.setDirectory(FRoot.isEmpty() ? QDir::homePath() : FRoot);

    const bool accepted = browser.exec() == QDialog::Accepted;
    const QStringList chosen = accepted ? browser.selectedFiles() : QStringList();
    FSelection.clear();
    if (chosen.isEmpty()) {
        FPath.clear();
        return false;
    }
    const QString folder = QDir::cleanPath(chosen.first());
    if (!IsOpenableFolder(folder))
        return false;
    FillFiles(folder);
    FPath = folder;
    FSelection = folder;
    return true;
}

void TFolderDialog::SetPath(const QString& Text) {
    FSelection.clear();
    const QFileInfo info(Text);
    if (Text.isEmpty() || !info.exists())
        return;
    FSelection = QDir::cleanPath(info.absoluteFilePath());
    if (!IsOpenableFolder(FSelection))
        return;
    FillFiles(FSelection);
    FPath = Text;
}

void TFolderDialog::SetRoot(const QString& Text) {
    FRoot.clear();
    FRootDir = Text;
    if (!Text.isEmpty() && QFileInfo(Text).isDir())
        FRoot = QDir::cleanPath(QFileInfo(Text).absoluteFilePath());
}

void TFolderDialog::FillFiles(const QString& Folder) {
    QDir dir(Folder);
    if (!dir.isReadable())
        return;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    FFiles.clear();
    for (const QFileInfo& entry : entries)
        FFiles.append(entry.absoluteFilePath());
}
