#pragma once

#include "acquisition/DownloadSession.h"

#include <QString>

// What the window says when a download has ended: a status line, the progress panel's text
// and a message, each empty when there is nothing to say there.
namespace DownloadWords {

struct TSaid {
    QString Status, Progress, Error;
};

// ArchivePath names the archive in the texts; HasFolder tells whether an installation folder
// is stored (without one a complete download's bytes have nowhere to go, which start-up said).
TSaid ForWindow(const TDownloadResult& Result, const QString& ArchivePath, bool HasFolder);

} // namespace DownloadWords
