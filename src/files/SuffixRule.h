#pragma once

#include <QString>

// Save As marks a plain text name with "_t" and an export name with "_s" before the
// extension, exchanging the other mark when present (case-sensitive). A name without an
// extension gets the mark at its end; a dot in a folder name is not an extension.
QString ApplySuffix(const QString& Path, bool Export);
