#include "ZEVAboutComponent.h"

#include "components/ui/VirtualListBox.h"
#include "components/ui/ZEVAboutBox.h"
#include "platform/ComponentPalette.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <algorithm>

TZEVAboutComponent::TZEVAboutComponent(QObject* Owner)
    : QObject(Owner), FAboutBox(std::make_unique<TZEVAboutBox>()), FVersion("1.04.00") {}

TZEVAboutComponent::~TZEVAboutComponent() = default;

void TZEVAboutComponent::OpenAbout() {
    const QString descriptions[] = {Description1, Description2, Description3, Description4};
    const QString versions[] = {Version1, Version2, Version3, Version4};
    const bool visible[] = {Visible1, Visible2, Visible3, Visible4};
    for (int n = 1; n <= TZEVAboutBox::PairCount; ++n)
        SetExtraDescriptionText(n, descriptions[n - 1]);
    for (int n = 1; n <= TZEVAboutBox::PairCount; ++n)
        SetExtraVersionText(n, versions[n - 1]);
    for (int n = 1; n <= TZEVAboutBox::PairCount; ++n)
        SetExtraVersionVisible(n, visible[n - 1]);
    TVirtualListBox* list = FAboutBox->lbCustomFields;
    list->setVisible(VisibleList);
    list->OnDrawItem = [this](TVirtualListBox* Control, QPainter* Canvas, int Index,
                              const QRect& Rect, QStyle::State State) {
        OnlbDrawItem(Control, Canvas, Index, Rect, State);
    };
    list->SetItemHeight(ListLineHeight);
    RecalcAndDisplayListBox();
    FAboutBox->exec();
}

void TZEVAboutComponent::AppendVersionInfo(const QString& Label, const QString& Version) {
    FLabelList.append(Label);
    FVersionList.append(Version);
    RecalcAndDisplayListBox();
}

void TZEVAboutComponent::RecalcAndDisplayListBox() {
    if (ComponentPalette::IsDesigning(this))
        return;
    FAboutBox->lbCustomFields->SetCount(std::max(FLabelList.size(), FVersionList.size()));
}

bool TZEVAboutComponent::CheckPair(int N) const {
    if (N >= 1 && N <= TZEVAboutBox::PairCount)
        return true;
    QWidget* parent = FAboutBox->isVisible() ? FAboutBox.get() : QApplication::activeWindow();
    QMessageBox::critical(parent, "Error", PairError, QMessageBox::Ok);
    return false;
}

void TZEVAboutComponent::SetExtraVersionVisible(int N, bool Visible) {
    if (!CheckPair(N))
        return;
    FAboutBox->DescriptionControl(N)->setVisible(Visible);
    FAboutBox->VersionControl(N)->setVisible(Visible);
}

bool TZEVAboutComponent::GetExtraVersionVisible(int N) {
    // The control's own flag: the box itself may be hidden.
    return CheckPair(N) && !FAboutBox->VersionControl(N)->isHidden();
}

void TZEVAboutComponent::SetExtraVersionText(int N, const QString& Text) {
    if (CheckPair(N))
        FAboutBox->SetVersionCaption(N, Text);
}

void TZEVAboutComponent::SetExtraDescriptionText(int N, const QString& Text) {
    if (CheckPair(N))
        FAboutBox->DescriptionControl(N)->setText(Text);
}

QString TZEVAboutComponent::GetExtraDescriptionText(int N) {
    return CheckPair(N) ? FAboutBox->DescriptionControl(N)->text() : QString();
}

void TZEVAboutComponent::OnlbDrawItem(TVirtualListBox* Control, QPainter* Canvas, int Index,
                                      const QRect& Rect, QStyle::State) {
    const int right = Rect.left() + Rect.width(); // exclusive, as the areas are measured
    const int middle = (Rect.left() + right) / 2;
    const QRect labelArea(QPoint(14, Rect.top()), QPoint(middle - 1, Rect.bottom()));
    const QRect versionArea(QPoint(middle, Rect.top()), QPoint(right - 1, Rect.bottom()));
    Canvas->fillRect(Rect, QColor(255, 255, 255));
    QFont font = Control->font();
    Canvas->setPen(Control->palette().color(QPalette::Text));
    if (Index < FLabelList.size()) {
        Canvas->setFont(font);
        Canvas->save();
        Canvas->setClipRect(labelArea);
        Canvas->drawText(labelArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         FLabelList[Index]);
        Canvas->restore();
    }
    if (Index < FVersionList.size()) {
        font.setBold(false);
        Canvas->setFont(font);
        Canvas->save();
        Canvas->setClipRect(versionArea);
        Canvas->drawText(versionArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         FVersionList[Index]);
        Canvas->restore();
    }
}

void TZEVAboutComponent::SetLabelList(const QStringList& Value) {
    FLabelList = Value;
    RecalcAndDisplayListBox();
}

void TZEVAboutComponent::SetVersionList(const QStringList& Value) {
    FVersionList = Value;
    RecalcAndDisplayListBox();
}
