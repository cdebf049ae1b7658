#include "files/SuffixRule.h"

QString ApplySuffix(const QString& Path, bool Export) {
    const QString Own = Export ? QStringLiteral("_s") : QStringLiteral("_t");
    const QString Other = Export ? QStringLiteral("_t") : QStringLiteral("_s");

    QString Result = Path;
    const qsizetype NameStart = Result.lastIndexOf(QLatin1Char('/')) + 1;
    qsizetype Dot = Result.lastIndexOf(QLatin1Char('.'));
    if (Dot < NameStart)
        Dot = Result.size();

    const auto MarkBefore = [&](qsizetype At) {
        return At - NameStart >= 2 ? Result.mid(At - 2, 2) : QString();
    };
    if (MarkBefore(Dot) == Other) {
        Result.remove(Dot - 2, 2);
        Dot -= 2;
    }
    if (MarkBefore(Dot) != Own)
        Result.insert(Dot, Own);
    return Result;
}
