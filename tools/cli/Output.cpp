#include "Output.h"

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

void print(std::FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

void printLine(std::FILE* stream, const QString& line)
{
    print(stream, line + QLatin1Char('\n'));
}

bool standardErrorIsTerminal()
{
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr));
#else
    return ::isatty(STDERR_FILENO);
#endif
}
