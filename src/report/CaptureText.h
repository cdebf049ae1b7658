#pragma once

#include <QByteArray>

// What a download makes of the bytes the instrument sent: the port's queue is drained in
// pieces of at most StreamConventions::PieceBytes bytes, each ending after a carriage return,
// and a zero byte ends its piece (it and the rest of the piece are dropped).
namespace CaptureText {

QByteArray DownloadText(const QByteArray& Received);

} // namespace CaptureText
