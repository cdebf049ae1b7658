#pragma once

#include "BrowseFolderOptions.h"

#include <QObject>
#include <QStringList>

class QWidget;

// A non-visual component around a folder browser. Execute shows Qt's own folder chooser
// (directories only); a chosen folder becomes Path, and Files lists its regular, non-hidden
// files. RootDir confines the browse to one folder tree. The folder chosen last is selected
// when the browser opens again. Failures are quiet: Execute returns false, SetPath keeps Path.
class TFolderDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ControlVersion READ ControlVersion WRITE SetControlVersion)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString RootDir READ RootDir WRITE SetRoot)

public:
    static constexpr const char* PalettePage = "ZEV";

    explicit TFolderDialog(QObject* Owner = nullptr);
    ~TFolderDialog() override;

    // Registers the class on the palette page "ZEV".
    static void Register();

    // Shows the browser modally; true when a folder was chosen and could be opened.
    bool Execute();

    QString Path() const { return FPath; }
    // Takes Text as Path when it names a folder that can be opened, filling Files from it.
    void SetPath(const QString& Text);

    QString RootDir() const { return FRootDir; }
    // An empty text removes the root (the browse is free again) and empties RootDir; a text
    // that names no folder is kept as RootDir but confines nothing.
    void SetRoot(const QString& Text);

    QString Title() const { return FTitle; }
    void SetTitle(const QString& Value) { FTitle = Value; }

    QString ControlVersion() const { return FVersion; }
    void SetControlVersion(const QString&) {} // the version is the component's own

    // Full paths of the chosen folder's files, sorted by name.
    const QStringList& Files() const { return FFiles; }

    TBrowseFolderOptions Options() const { return FOptions; }
    void SetOptions(const TBrowseFolderOptions& Value) { FOptions = Value; }

    // The browse flags of the options, as the shell browse call numbers them.
    quint32 BuildBrowseFlags() const;

    // The folder the next Execute opens on; empty when there is none.
    QString Selection() const { return FSelection; }

private:
    QWidget* OwnerWindow() const;
    // Replaces Files with the folder's files; keeps them when the folder cannot be listed.
    void FillFiles(const QString& Folder);

    QString FTitle;
    QString FPath;
    QString FRootDir;
    QString FVersion;
    QStringList FFiles;
    TBrowseFolderOptions FOptions;
    QString FSelection; // absolute path of the location chosen or parsed last
    QString FRoot;      // absolute path of the folder the browse is confined to
};
