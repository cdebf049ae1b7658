#include "files/ReportPrinter.h"

#include "files/PrintLayout.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"

#include <QBuffer>
#include <QFontInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <climits>

namespace {

// The printer font has the editor font's size in points; a font given in pixels is
// measured in points on the printer.
int PointSizeOn(const QPainter& Painter) {
    const QFont& Font = Painter.font();
    if (Font.pointSize() > 0)
        return Font.pointSize();
    return qRound(QFontInfo(Font).pointSizeF());
}

// Paints the lines on Device, whose printable area is its origin; Painter is begun on it.
void PaintLines(QPainter& Painter, QPagedPaintDevice& Device, int Resolution, const QFont& Font,
                const QStringList& Lines, const QColor& Color) {
    Painter.setFont(Font);
    Painter.setPen(Color);
    const int PageHeight = Device.pageLayout().paintRectPixels(Resolution).height();
    const PrintLayout::TPageLayout Layout =
        PrintLayout::ComputeLayout(Resolution, PageHeight, PointSizeOn(Painter), Lines.size());

    // Text is placed by its top-left corner, as the rows are measured.
    const int Ascent = Painter.fontMetrics().ascent();
    int Page = 0;
    for (qsizetype j = 0; j < Lines.size(); ++j) {
        const PrintLayout::TPlacedLine& Placed = Layout.Lines.at(j);
        if (Placed.Page != Page) {
            if (!Device.newPage()) {
                Painter.end();
                throw Exception(QStringLiteral("Cannot start a new page"));
            }
            Page = Placed.Page;
        }
        Painter.drawText(PrintLayout::LeftMargin, Placed.Y + Ascent, Lines.at(j));
    }
}

} // namespace

void PrintReport(QPrinter& Printer, const QFont& Font, const QStringList& Lines,
                 const QString& JobName, const QColor& Color) {
    Printer.setDocName(JobName);
    Printer.setFullPage(false);
    QPainter Painter;
    if (!Painter.begin(&Printer))
        throw Exception(QStringLiteral("Cannot start the print job"));
    PaintLines(Painter, Printer, Printer.resolution(), Font, Lines, Color);
    if (!Painter.end())
        throw Exception(QStringLiteral("Cannot finish the print job"));
}

void PrintReportToPdf(const QString& Path, const QPageLayout& PageLayout, int Resolution,
                      const QFont& Font, const QStringList& Lines, const QColor& Color) {
    QBuffer Document;
    Document.open(QIODevice::WriteOnly);
    {
        QPdfWriter Writer(&Document);
        Writer.setResolution(Resolution);
        Writer.setPageLayout(PageLayout);
        QPainter Painter;
        if (!Painter.begin(&Writer))
            throw Exception(QStringLiteral("Cannot start the print job for ") +
                            MessageText::Shown(Path, PATH_MAX));
        PaintLines(Painter, Writer, Resolution, Font, Lines, Color);
        // Only a finished document ends with its end-of-file mark.
        if (!Painter.end() || !Document.data().trimmed().endsWith("%%EOF"))
            throw Exception(QStringLiteral("Cannot finish the print job for ") +
                            MessageText::Shown(Path, PATH_MAX));
    }
    AtomicWrite::ReplaceFile(Path, Document.data());
}
