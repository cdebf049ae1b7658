#include "info/InfoForm.h"

#include "platform/DateTimeText.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextLayout>
#include <QToolButton>

namespace {

// Picker values are wall-clock values taken from the UTC clock; keeping them in UTC means no
// time-zone rule can shift them.
QDateTime AsUtc(const QDateTime& Value) {
    return QDateTime(Value.date(), Value.time(), Qt::UTC);
}

QLabel* Label(QWidget* Parent, const QString& Text, int X, int Y) {
    auto* l = new QLabel(Text, Parent);
    l->move(X, Y);
    l->adjustSize();
    return l;
}

QPlainTextEdit* Memo(QWidget* Parent, int X, int Y) {
    auto* m = new QPlainTextEdit(Parent);
    m->setGeometry(X, Y, 241, 53);
    m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Always there, so the width the lines wrap at does not change with the number of lines
    // (MemoLines wraps at the same width); enabled when the lines do not fit.
    m->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m->setTabChangesFocus(true);
    return m;
}

QDateTimeEdit* Picker(QWidget* Parent, bool DatePart, int X, int Y) {
    auto* p = new QDateTimeEdit(Parent);
    p->setTimeSpec(Qt::UTC);
    // The default limits are local times: turned into UTC they cut the hours of every zone
    // west of UTC and pinned the time of day. The pickers hold wall-clock values, so the
    // limits are wall-clock values too.
    p->setDateTimeRange(QDateTime(QDate(1752, 9, 14), QTime(0, 0), Qt::UTC),
                        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC));
    p->setGeometry(X, Y, 118, 21);
    if (DatePart) {
        p->setDisplayFormat(DateTimeText::ShortDateFormat());
        p->setCalendarPopup(true);
    } else {
        p->setDisplayFormat(DateTimeText::LongTimeFormat());
    }
    return p;
}

} // namespace

TInfoForm::TInfoForm(TReportInformation& Model, QWidget* Parent) : QDialog(Parent), FModel(Model) {
    setWindowTitle(QStringLiteral("Information Setup"));
    setFixedSize(368, 346);
    setModal(true);

    EnableCheckBox = new QCheckBox(QStringLiteral("Enable Info"), this);
    EnableCheckBox->setGeometry(8, 8, 97, 17);
    Label(this, QStringLiteral("Monitor S/Ns"), 8, 34);
    AddSNEdit = new QLineEdit(this);
    AddSNEdit->setGeometry(8, 50, 73, 21);
    AddSpeedButton = new QToolButton(this);
    AddSpeedButton->setText(QStringLiteral("+"));
    AddSpeedButton->setToolTip(QStringLiteral("Add S/N"));
    AddSpeedButton->setFocusPolicy(Qt::NoFocus);
    AddSpeedButton->setGeometry(83, 50, 22, 21);
    SNListBox = new QListWidget(this);
    SNListBox->setGeometry(8, 76, 97, 150);
    SNListBox->setSortingEnabled(true);
    Label(this, QStringLiteral("Calibrated :"), 8, 230);
    CalibratedDate = new TOptionalDateEdit(this);
    CalibratedDate->setGeometry(8, 246, 97, 21);
    CalibratedDate->setEnabled(false);
    OKButton = new QPushButton(QStringLiteral("&OK"), this);
    OKButton->setGeometry(16, 300, 75, 25);
    OKButton->setDefault(true);

    Label(this, QStringLiteral("Header Info :"), 112, 4);
    HeaderMemo = Memo(this, 112, 20);
    Label(this, QStringLiteral("Start Date :"), 112, 76);
    StartDate = Picker(this, true, 112, 92);
    Label(this, QStringLiteral("Start Time :"), 235, 76);
    StartTime = Picker(this, false, 235, 92);
    Label(this, QStringLiteral("End Date :"), 112, 116);
    EndDate = Picker(this, true, 112, 132);
    Label(this, QStringLiteral("End Time :"), 235, 116);
    EndTime = Picker(this, false, 235, 132);
    Label(this, QStringLiteral("Halvorn S/N :"), 112, 156);
    SNEdit = new QLineEdit(this);
    SNEdit->setGeometry(112, 172, 241, 21);
    Label(this, QStringLiteral("Location :"), 112, 196);
    LocationEdit = new QLineEdit(this);
    LocationEdit->setGeometry(112, 212, 241, 21);
    Label(this, QStringLiteral("Footer Info :"), 112, 236);
    FooterMemo = Memo(this, 112, 252);

    QWidget* order[] = {AddSNEdit,  SNListBox, CalibratedDate, HeaderMemo, StartDate,
                        StartTime,  EndDate,   EndTime,        SNEdit,     LocationEdit,
                        FooterMemo, OKButton,  EnableCheckBox};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    const QDateTime now = AsUtc(QDateTime::currentDateTimeUtc());
    for (QDateTimeEdit* p : {StartDate, StartTime, EndDate, EndTime})
        p->setDateTime(now);

    connect(AddSpeedButton, &QToolButton::clicked, this, [this] { AddSpeedButtonClick(); });
    connect(SNListBox, &QListWidget::itemDoubleClicked, this, [this] { SNListBoxDblClick(); });
    connect(EnableCheckBox, &QCheckBox::toggled, this, [this] { EnableCheckBoxClick(); });
    connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
    connect(SNListBox, &QListWidget::currentItemChanged, this, [this] { ShowCalibration(); });
    connect(CalibratedDate, &TOptionalDateEdit::dateChanged, this,
            [this] { CalibratedDateChange(); });
    SNListBox->installEventFilter(this);
    AddSNEdit->installEventFilter(this);
    CopyIn();
}

void TInfoForm::showEvent(QShowEvent* Event) {
    CopyIn();
    QDialog::showEvent(Event);
}

void TInfoForm::done(int Result) {
    CopyOut();
    QDialog::done(Result);
}

void TInfoForm::CopyIn() {
    const TReportInfo& V = FModel.Info();
    const QSignalBlocker Quiet(EnableCheckBox);
    EnableCheckBox->setChecked(V.Enabled);
    SNListBox->clear();
    SNListBox->addItems(V.SerialNumbers);
    HeaderMemo->setPlainText(V.Header.join('\n'));
    FooterMemo->setPlainText(V.Footer.join('\n'));
    // A field the information never had keeps the picker's own (today's) value.
    const std::pair<const QDateTime*, QDateTimeEdit*> Pickers[] = {{&V.StartDate, StartDate},
                                                                   {&V.StartTime, StartTime},
                                                                   {&V.EndDate, EndDate},
                                                                   {&V.EndTime, EndTime}};
    for (const auto& [Value, Picker] : Pickers)
        if (Value->isValid())
            Picker->setDateTime(AsUtc(*Value));
    SNEdit->setText(V.SerialNumber);
    LocationEdit->setText(V.Location);
    FCalibration = V.Calibration;
    ShowCalibration();
}

void TInfoForm::CopyOut() {
    TReportInfo V;
    V.Enabled = EnableCheckBox->isChecked();
    for (int i = 0; i < SNListBox->count(); ++i)
        V.SerialNumbers << SNListBox->item(i)->text();
    V.Header = MemoLines(HeaderMemo);
    V.Footer = MemoLines(FooterMemo);
    V.StartDate = StartDate->dateTime();
    V.StartTime = StartTime->dateTime();
    V.EndDate = EndDate->dateTime();
    V.EndTime = EndTime->dateTime();
    V.SerialNumber = SNEdit->text();
    V.Location = LocationEdit->text();
    V.Calibration = FCalibration;
    FModel.Set(V);
}

QStringList TInfoForm::MemoLines(const QPlainTextEdit* Memo) {
    const QString text = Memo->toPlainText();
    if (text.isEmpty())
        return {};
    // Laid out here rather than read from the widget: a dialog that was never shown has no
    // layout yet, and the report must not depend on whether the user opened it.
    const qreal width = Memo->contentsRect().width() -
                        Memo->verticalScrollBar()->sizeHint().width() -
                        2 * Memo->document()->documentMargin();
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QStringList lines;
    for (const QString& paragraph : text.split('\n')) {
        if (paragraph.isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, Memo->font());
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength());
        }
        layout.endLayout();
    }
    return lines;
}

void TInfoForm::AddSpeedButtonClick() {
    if (!AddSNEdit->text().isEmpty())
        SNListBox->addItem(AddSNEdit->text());
    AddSNEdit->clear();
    AddSNEdit->setFocus();
}

void TInfoForm::SNListBoxKeyDown(int Key) {
    if (Key == Qt::Key_Delete && SNListBox->currentItem() && SNListBox->currentItem()->isSelected())
        delete SNListBox->takeItem(SNListBox->currentRow());
}

void TInfoForm::SNListBoxDblClick() {
    const QList<QListWidgetItem*> selected = SNListBox->selectedItems();
    if (!selected.isEmpty())
        SNEdit->setText(selected.first()->text());
}

void TInfoForm::EnableCheckBoxClick() {
    emit EnableChanged(EnableCheckBox->isChecked() ? 1 : 0);
}

void TInfoForm::ShowCalibration() {
    const QListWidgetItem* item = SNListBox->currentItem();
    FShowingCalibration = true;
    CalibratedDate->setEnabled(item != nullptr);
    const QDate date = item ? FCalibration.value(item->text()) : QDate();
    CalibratedDate->setDate(date);
    FShowingCalibration = false;
}

void TInfoForm::CalibratedDateChange() {
    const QListWidgetItem* item = SNListBox->currentItem();
    if (FShowingCalibration || !item)
        return;
    const QDate date = CalibratedDate->date();
    if (!date.isValid())
        FCalibration.remove(item->text());
    else
        FCalibration.insert(item->text(), date);
}

void TInfoForm::OKButtonClick() {
    CopyOut();
    FModel.Confirm();
    // Written now: a crash or a kill before Exit must not cost what the user confirmed.
    try {
        FModel.Save();
    } catch (const Exception& E) {
        if (OnError)
            OnError(E.Message);
    }
    if (OnApply)
        OnApply(FModel.Info());
    accept();
}

bool TInfoForm::eventFilter(QObject* Watched, QEvent* Event) {
    if (Watched == SNListBox && Event->type() == QEvent::KeyPress)
        SNListBoxKeyDown(static_cast<QKeyEvent*>(Event)->key());
    // Enter in the S/N box adds the number; it must not reach the default button.
    if (Watched == AddSNEdit && Event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            AddSpeedButtonClick();
            return true;
        }
    }
    return QDialog::eventFilter(Watched, Event);
}
