#pragma once

#include "platform/Exception.h"

// A failure of the archive: the text names the database file, the reason in the user's words
// and the database's own text last.
class EArchiveError : public Exception {
public:
    // Transient: worth trying again (the archive busy, a read that met another program's
    // write); Damaged: SQLite's own check of the file found it damaged.
    enum class TCause { Other, Transient, Damaged };

    explicit EArchiveError(const QString& Message, TCause Cause = TCause::Other)
        : Exception(Message), Cause(Cause) {}
    TCause Cause;
};
