#pragma once

#include "measurement/Job.h"

#include <QByteArray>
#include <optional>

// A job given as JSON, as "report-pdf --job FILE.json" takes it: one object whose keys are
// client, address, placement, test_type, conditions, notes, inspector, certification and logo,
// each optional, each a string, an empty string meaning none.
struct TJobFile {
    TJob Job;
    // Given by the file: they replace the stored inspector details (an empty one removes it).
    std::optional<QString> Inspector, Certification, Logo;

    // Stored with what the file gives in its place.
    TInspector Over(TInspector Stored) const;
};

namespace JobFile {

constexpr qint64 MaxBytes = 256 * 1024;

// Unknown keys, values that are not strings, texts longer than Job::MaxFieldLength and
// test types or conditions of no known name are refused: Exception with the reason, for the
// caller to put the file's name before.
TJobFile Parse(const QByteArray& Json);

} // namespace JobFile
