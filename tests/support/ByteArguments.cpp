#include "ByteArguments.h"

#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

void startWithBytes(QProcess& process, const QString& program, const QList<QByteArray>& arguments)
{
    // Each byte as an octal escape of printf, so that the shell hands the program the bytes.
    QString script = "exec \"$0\"";
    for (const QByteArray& argument : arguments) {
        script += " \"$(printf '";
        for (const char byte : argument)
            script += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
        script += "')\"";
    }
    process.start("/bin/sh", {"-c", script, program});
}

bool writeFileByBytes(const QByteArray& path, const QByteArray& bytes)
{
    const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0)
        return false;
    const bool written = ::write(file, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    return ::close(file) == 0 && written;
}

QByteArray readFileByBytes(const QByteArray& path)
{
    const int file = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return {};
    QByteArray bytes("");
    char buffer[4096];
    for (ssize_t got; (got = ::read(file, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, got);
    ::close(file);
    return bytes;
}
