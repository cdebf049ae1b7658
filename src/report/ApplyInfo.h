#pragma once

#include "report/ReportInfo.h"

#include <QLocale>
#include <QStringList>
#include <optional>

// Rebuilds a report with new information: the new header, two empty lines, the body from
// the first to the last separator line with its label lines renewed, four empty lines, the
// new footer. std::nullopt means the editor stays as it is: no lines, or no separator line.
std::optional<QStringList> ApplyInfo(const QStringList& Lines, const TReportInfo& Info,
                                     const QLocale& Locale = QLocale::system());
