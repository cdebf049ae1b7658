#pragma once

#include <QObject>
#include <QStringList>
#include <QStyle>
#include <memory>

class QPainter;
class TVirtualListBox;
class TZEVAboutBox;

// A reusable About dialog: the program's name, version and copyright from its version
// resource, up to four extra description/version pairs, and an optional two-column list.
// The published pair fields reach the box in OpenAbout; the pair operations act at once.
class TZEVAboutComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Description1 MEMBER Description1)
    Q_PROPERTY(QString Description2 MEMBER Description2)
    Q_PROPERTY(QString Description3 MEMBER Description3)
    Q_PROPERTY(QString Description4 MEMBER Description4)
    Q_PROPERTY(QString Version1 MEMBER Version1)
    Q_PROPERTY(QString Version2 MEMBER Version2)
    Q_PROPERTY(QString Version3 MEMBER Version3)
    Q_PROPERTY(QString Version4 MEMBER Version4)
    Q_PROPERTY(bool Visible1 MEMBER Visible1)
    Q_PROPERTY(bool Visible2 MEMBER Visible2)
    Q_PROPERTY(bool Visible3 MEMBER Visible3)
    Q_PROPERTY(bool Visible4 MEMBER Visible4)
    Q_PROPERTY(QString ControlVersion READ ControlVersion WRITE SetControlVersion)
    Q_PROPERTY(bool VisibleList MEMBER VisibleList)
    Q_PROPERTY(QStringList LabelList READ LabelList WRITE SetLabelList)
    Q_PROPERTY(QStringList VersionList READ VersionList WRITE SetVersionList)
    Q_PROPERTY(int ListLineHeight MEMBER ListLineHeight)

public:
    static constexpr const char* PairError = "Only 4 additional version boxes available!";

    explicit TZEVAboutComponent(QObject* Owner = nullptr);
    ~TZEVAboutComponent() override;

    // Fills the box from the published fields and shows it modally.
    virtual void OpenAbout();

    void AppendVersionInfo(const QString& Label, const QString& Version);
    // The list's line count becomes the longer list's (not while designing).
    void RecalcAndDisplayListBox();

    // Pair numbers run from 1 to 4; any other shows PairError and changes nothing.
    void SetExtraVersionVisible(int N, bool Visible);
    bool GetExtraVersionVisible(int N);
    void SetExtraVersionText(int N, const QString& Text);
    void SetExtraDescriptionText(int N, const QString& Text);
    QString GetExtraDescriptionText(int N);

    // Draws one line of the list: the label bold on the left, the version on the right half.
    void OnlbDrawItem(TVirtualListBox* Control, QPainter* Canvas, int Index, const QRect& Rect,
                      QStyle::State State);

    QStringList LabelList() const { return FLabelList; }
    void SetLabelList(const QStringList& Value);
    QStringList VersionList() const { return FVersionList; }
    void SetVersionList(const QStringList& Value);
    QString ControlVersion() const { return FVersion; }
    void SetControlVersion(const QString&) {} // the version is the component's own

    TZEVAboutBox* AboutBox() const { return FAboutBox.get(); }

    QString Description1, Description2, Description3, Description4;
    QString Version1, Version2, Version3, Version4;
    bool Visible1 = false, Visible2 = false, Visible3 = false, Visible4 = false;
    bool VisibleList = false;
    int ListLineHeight = 14;

private:
    // False, after telling the user, when N is no pair number.
    bool CheckPair(int N) const;

    std::unique_ptr<TZEVAboutBox> FAboutBox;
    QStringList FLabelList;
    QStringList FVersionList;
    QString FVersion;
};
