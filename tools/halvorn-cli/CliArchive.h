#pragma once

#include "CliOptions.h"
#include "archive/Archive.h"

#include <QByteArray>
#include <functional>
#include <vector>

// The archive commands of halvorn-cli, and the archive of its downloads.
namespace CliArchive {

// --archive FILE, else Data/archive.sqlite in the stored installation folder (a first start
// prepares one).
QString PathFor(const TCliOptions& Options);

// Stores one download in the archive; raises Exception naming the database when it cannot
// (a file it must leave alone as well). Returns the row's id.
qint64 Store(const TCliOptions& Options, const TArchiveEntry& Entry);

// "the archive FILE (measurement N)": where a download's bytes went.
QString Where(const TCliOptions& Options, qint64 Id);

// The rows as one JSON array, keys in the documented order; More(I) adds keys (", \"k\": v")
// at the end of row I's object.
QByteArray ListJson(const std::vector<TArchiveRow>& Rows,
                    const std::function<QByteArray(size_t)>& More = {});
// The rows as the list shows them to people, with a heading.
QString ListText(const std::vector<TArchiveRow>& Rows);
// One measurement as "show" tells it to people, a line a field.
QString ForPeople(const TArchiveEntry& E);
// The ID argument; ECliUsage for anything but a positive whole number.
qint64 IdOf(const TCliOptions& Options);

void List(const TCliOptions& Options);
void Show(const TCliOptions& Options);
void Export(const TCliOptions& Options);
void Import(const TCliOptions& Options);

} // namespace CliArchive
