// Arbitrary bytes as a settings store file: parsed or refused, and a parsed store written back
// reads the same again (a store the program writes must never become unreadable).
#include "platform/Exception.h"
#include "platform/RegFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    const QByteArray Bytes(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    RegFile::Document Doc;
    try {
        Doc = RegFile::Parse(Bytes, QStringLiteral("registry.reg"));
    } catch (const Exception&) {
        return 0;
    }
    const QByteArray Written = RegFile::Write(Doc);
    try {
        if (RegFile::Write(RegFile::Parse(Written, QStringLiteral("registry.reg"))) != Written)
            std::abort();
    } catch (const Exception&) {
        std::abort();
    }
    return 0;
}
