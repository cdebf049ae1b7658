#include "files/ReportPrinter.h"

#include "files/PrintLayout.h"
#include "platform/Exception.h"

#include <QFontInfo>
#include <QPainter>
#include <QPrinter>

namespace {

// The printer font has the editor font's size in points; a font given in pixels is
// measured in points on the printer.
int PointSizeOn(const QPainter& Painter) {
    const QFont& Font = Painter.font();
    if (Font.pointSize() > 0)
        return Font.pointSize();
    return qRound(QFontInfo(Font).pointSizeF());
}

} // namespace

void PrintReport(QPrinter& Printer, const QFont& Font, const QStringList& Lines,
                 const QString& JobName, const QColor& Color) {
    Printer.setDocName(JobName);
    Printer.setFullPage(false);
    QPainter Painter;
    if (!Painter.begin(&Printer))
        throw Exception(QStringLiteral("Cannot start the print job"));
    Painter.setFont(Font);
    Painter.setPen(Color);

    const int Resolution = Printer.resolution();
    const int PageHeight = Printer.pageLayout().paintRectPixels(Resolution).height();
    const PrintLayout::TPageLayout Layout =
        PrintLayout::ComputeLayout(Resolution, PageHeight, PointSizeOn(Painter), Lines.size());

    // Text is placed by its top-left corner, as the rows are measured.
    const int Ascent = Painter.fontMetrics().ascent();
    int Page = 0;
    for (qsizetype j = 0; j < Lines.size(); ++j) {
        const PrintLayout::TPlacedLine& Placed = Layout.Lines.at(j);
        if (Placed.Page != Page) {
            if (!Printer.newPage()) {
                Painter.end();
                throw Exception(QStringLiteral("Cannot start a new page"));
            }
            Page = Placed.Page;
        }
        Painter.drawText(PrintLayout::LeftMargin, Placed.Y + Ascent, Lines.at(j));
    }
    if (!Painter.end())
        throw Exception(QStringLiteral("Cannot finish the print job"));
}
