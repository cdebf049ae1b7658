#pragma once

#include <QListView>
#include <QStyle>
#include <functional>

class QPainter;

// A list box whose items are counted, not stored: OnDrawItem draws each visible line on
// request. Without a handler the lines stay blank.
class TVirtualListBox : public QListView {
    Q_OBJECT

public:
    using TDrawItemEvent = std::function<void(TVirtualListBox* Control, QPainter* Canvas, int Index,
                                              const QRect& Rect, QStyle::State State)>;

    explicit TVirtualListBox(QWidget* Parent = nullptr);
    ~TVirtualListBox() override;

    int Count() const;
    void SetCount(int Value);
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);
    // The rectangle of line Index in the viewport's coordinates.
    QRect ItemRect(int Index) const;

    TDrawItemEvent OnDrawItem;

private:
    int FItemHeight = 14;
};
