#include "app/ReadingsPanel.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>

TReadingsPanel::TReadingsPanel(QWidget* Parent) : QWidget(Parent) {
    SummaryMemo = new QPlainTextEdit(this);
    SummaryMemo->setReadOnly(true);
    SummaryMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    // The summary lines up its figures in columns.
    SummaryMemo->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SummaryMemo);
}

void TReadingsPanel::Show(const TMeasurement& M, TUnit Unit) {
    FMeasurement = M;
    FUnit = Unit;
    ++FUpdates;
    SummaryMemo->setPlainText(Measurement::ForPeople(M, Unit));
}
