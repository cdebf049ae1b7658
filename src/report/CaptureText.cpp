#include "report/CaptureText.h"

#include "report/StreamConventions.h"

#include <algorithm>

namespace CaptureText {

QByteArray DownloadText(const QByteArray& Received) {
    constexpr qsizetype PieceLimit = StreamConventions::PieceBytes;
    const char* const Data = Received.constData();
    const qsizetype Size = Received.size();
    QByteArray Text;
    Text.reserve(Size);
    qsizetype Start = 0;
    while (Start < Size) {
        const qsizetype Limit = std::min(Size, Start + PieceLimit);
        const char* const Cr = std::find(Data + Start, Data + Limit, StreamConventions::LineEnd);
        const qsizetype End = Cr == Data + Limit ? Limit : (Cr - Data) + 1;
        const char* const Zero = std::find(Data + Start, Data + End, '\0');
        Text.append(Data + Start, Zero - (Data + Start));
        Start = End;
    }
    return Text;
}

} // namespace CaptureText
