#include "FileReport.h"

#include "Output.h"

void reportFileFailure(const QString& file, const QString& reason, const QString& lead)
{
    printLine(stderr, lead + QStringLiteral("「%1」：%2").arg(file, reason));
}

Result<PatternFileContent> loadOrReport(const QString& file, const QString& lead)
{
    Result<PatternFileContent> loaded = loadPatternFile(file);
    if (!loaded)
        reportFileFailure(file, loaded.reason(), lead);
    return loaded;
}
