#pragma once

#include <QByteArray>
#include <QString>

// Pieces of JSON written by hand, so that the keys stay in the order a reader was promised.
namespace JsonText {

// Text as a JSON string in UTF-8: quotes and backslashes escaped, control characters as \uNNNN.
QByteArray String(const QString& Text);

// String(Text), or null for an empty text.
QByteArray StringOrNull(const QString& Text);

} // namespace JsonText
