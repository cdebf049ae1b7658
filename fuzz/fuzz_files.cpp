// Arbitrary file bytes through the text reader, then the export of the lines read.
#include "files/ExportWriter.h"
#include "files/ReportText.h"
#include "platform/Exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const QByteArray Bytes(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    const QStringList Lines = ReportText::DecodeText(Bytes);
    // Lines without line-end bytes survive a save and reopen unchanged.
    if (ReportText::DecodeText(ReportText::EncodeText(Lines)) != Lines)
        std::abort();
    try {
        const QByteArray Export = ExportWriter::BuildExport(Lines);
        if (!Export.endsWith("\r\n"))
            std::abort();
    } catch (const Exception&) {
        // A report without its landmarks is refused: fine.
    }
    return 0;
}
