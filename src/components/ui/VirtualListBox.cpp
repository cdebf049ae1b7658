#include "VirtualListBox.h"

#include <QAbstractListModel>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace {

class TCountModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& Parent) const override { return Parent.isValid() ? 0 : Count; }
    QVariant data(const QModelIndex&, int) const override { return {}; }
    void SetCount(int Value) {
        beginResetModel();
        Count = Value;
        endResetModel();
    }
    int Count = 0;
};

class TDrawDelegate : public QStyledItemDelegate {
public:
    explicit TDrawDelegate(TVirtualListBox* Box) : QStyledItemDelegate(Box), FBox(Box) {}
    void paint(QPainter* Painter, const QStyleOptionViewItem& Option,
               const QModelIndex& Index) const override {
        if (!FBox->OnDrawItem)
            return;
        Painter->save();
        FBox->OnDrawItem(FBox, Painter, Index.row(), Option.rect, Option.state);
        Painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex&) const override {
        return QSize(Option.rect.width(), FBox->ItemHeight());
    }

private:
    TVirtualListBox* FBox;
};

} // namespace

TVirtualListBox::TVirtualListBox(QWidget* Parent) : QListView(Parent) {
    setModel(new TCountModel(this));
    setItemDelegate(new TDrawDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
}

TVirtualListBox::~TVirtualListBox() = default;

int TVirtualListBox::Count() const {
    return static_cast<TCountModel*>(model())->Count;
}

void TVirtualListBox::SetCount(int Value) {
    static_cast<TCountModel*>(model())->SetCount(std::max(0, Value));
}

void TVirtualListBox::SetItemHeight(int Value) {
    FItemHeight = std::max(1, Value);
    // Uniform sizes are cached: a reset makes the view ask again.
    static_cast<TCountModel*>(model())->SetCount(Count());
}

QRect TVirtualListBox::ItemRect(int Index) const {
    return visualRect(model()->index(Index, 0));
}
