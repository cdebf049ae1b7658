#pragma once

#include <QStringList>
#include <vector>

// The archive's tables, version by version.
namespace ArchiveSchema {

// The version this program writes; older archives are brought up to it on opening.
constexpr int Version = 5;

// Step N takes the archive from version N to N + 1; a new version only ever appends one.
const std::vector<QStringList>& Steps();

// The measurement table's columns as this version has them; an older archive read where it
// cannot be upgraded shows the missing ones as NULL.
const QStringList& MeasurementColumns();

} // namespace ArchiveSchema
