#include "info/OptionalDateEdit.h"

#include "platform/DateTimeText.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

namespace {

const QString None = QStringLiteral("none");

} // namespace

TOptionalDateEdit::TOptionalDateEdit(QWidget* Parent) : QWidget(Parent) {
    Edit = new QLineEdit(this);
    Edit->setPlaceholderText(DateTimeText::ShortDateFormat());
    CalendarButton = new QToolButton(this);
    CalendarButton->setArrowType(Qt::DownArrow);
    CalendarButton->setFocusPolicy(Qt::NoFocus);
    CalendarButton->setToolTip(QStringLiteral("Choose from a calendar"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Edit, 1);
    layout->addWidget(CalendarButton);
    setFocusProxy(Edit);

    Calendar = new QCalendarWidget(this);
    Calendar->setWindowFlags(Qt::Popup);
    Calendar->setGridVisible(true);
    Calendar->hide();
    connect(Calendar, &QCalendarWidget::clicked, this, [this](const QDate& Date) {
        Calendar->hide();
        setDate(Date);
    });
    connect(CalendarButton, &QToolButton::clicked, this, [this] { ShowCalendar(); });
    connect(Edit, &QLineEdit::editingFinished, this, [this] { TextEdited(); });
    Show();
}

void TOptionalDateEdit::setDate(const QDate& Date) {
    const QDate date = Date.isValid() ? Date : QDate();
    const bool changed = date != FDate;
    FDate = date;
    Show();
    if (changed)
        emit dateChanged(FDate);
}

QString TOptionalDateEdit::text() const {
    return Edit->text();
}

void TOptionalDateEdit::Show() {
    Edit->setText(FDate.isValid() ? DateTimeText::FormatDate(FDate) : None);
}

void TOptionalDateEdit::TextEdited() {
    const QString typed = Edit->text().trimmed();
    QDate date;
    if (!typed.isEmpty() && typed != None) {
        date = DateTimeText::ParseDate(typed);
        if (!date.isValid()) {
            Show();
            return;
        }
    }
    setDate(date);
}

void TOptionalDateEdit::ShowCalendar() {
    const QDate shown = FDate.isValid() ? FDate : QDate::currentDate();
    Calendar->setSelectedDate(shown);
    Calendar->setCurrentPage(shown.year(), shown.month());
    Calendar->move(mapToGlobal(QPoint(0, height())));
    Calendar->show();
    Calendar->setFocus();
}
