#pragma once

#include <QString>

// Text taken from files, devices or the command line and echoed in a message: shown so that it
// can neither steer the terminal or the message box nor swamp them.
namespace MessageText {

// Control characters (C0, DEL, C1, the Unicode line and paragraph separators and the
// bidirectional marks, embeddings, overrides and isolates) written as
// \n, \r, \t or \xNN / \uNNNN, a backslash doubled; cut after MaxChars characters of the
// original with "..." and the full length in brackets (MaxChars below 0: never cut).
QString Shown(const QString& Text, int MaxChars = 120);

// Shown() in double quotes, for file names and values inside a sentence.
QString Quoted(const QString& Text, int MaxChars = 120);

} // namespace MessageText
