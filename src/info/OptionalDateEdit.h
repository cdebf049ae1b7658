#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;
class QLineEdit;
class QToolButton;

// A date that may be none: typed in the locale's short format (one-digit fields too) or
// picked from a calendar, which opens at the date shown or else at the current month. An
// empty field, or "none", is no date; a text that is no date gives way to the date it had.
class TOptionalDateEdit : public QWidget {
    Q_OBJECT
public:
    explicit TOptionalDateEdit(QWidget* Parent = nullptr);

    // Invalid: none. Setting another date emits dateChanged, as a QDateEdit does.
    QDate date() const { return FDate; }
    void setDate(const QDate& Date);
    // What the field shows: the short date, or "none".
    QString text() const;

    void ShowCalendar();
    QLineEdit* Edit;
    QToolButton* CalendarButton;
    QCalendarWidget* Calendar;

signals:
    // For a date set, picked, or typed and confirmed (Enter, or leaving the field).
    void dateChanged(const QDate& Date);

private:
    void TextEdited();
    void Show();
    QDate FDate;
};
