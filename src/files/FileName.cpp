#include "files/FileName.h"

#include <QFile>

#include <cerrno>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <QCoreApplication>
#include <qt_windows.h>
#include <shellapi.h>
#endif

namespace {

constexpr char16_t FirstKept = 0xDC80;
constexpr char16_t LastKept = 0xDCFF;

// The length of the well-formed UTF-8 character at the start of `bytes`, 0 when there is none
// (a stray byte, an overlong form, a surrogate, a code point past U+10FFFF, a cut sequence).
qsizetype utf8CharacterLength(QByteArrayView bytes)
{
    const auto byte = [&](qsizetype i) { return uchar(bytes[i]); };
    const uchar lead = byte(0);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    uchar low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

bool isKeptByte(const QString& name, qsizetype i)
{
    const char16_t c = name[i].unicode();
    return c >= FirstKept && c <= LastKept && (i == 0 || !name[i - 1].isHighSurrogate());
}

} // namespace

QString fileNameFromSystem(const QByteArray& bytes)
{
    // Most names are text, and come through as Qt reads them.
    const QString decoded = QFile::decodeName(bytes);
    if (QFile::encodeName(decoded) == bytes)
        return decoded;
    QString name;
    QByteArrayView rest(bytes);
    while (!rest.isEmpty()) {
        qsizetype length = 0;
        while (length < rest.size()) {
            const qsizetype character = utf8CharacterLength(rest.sliced(length));
            if (character == 0)
                break;
            length += character;
        }
        name += QString::fromUtf8(rest.first(length));
        rest = rest.sliced(length);
        if (!rest.isEmpty()) {
            name += QChar(char16_t(0xDC00 + uchar(rest.front())));
            rest = rest.sliced(1);
        }
    }
    return name;
}

QStringList systemArguments(int argc, const char* const argv[])
{
#ifdef Q_OS_WIN
    // Windows gives the command line in UTF-16; `argv` is in the ANSI code page, which loses
    // every character it cannot hold. Once the application exists it has the same, without
    // Qt's own options.
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    if (QCoreApplication::instance())
        return QCoreApplication::arguments();
    QStringList wide;
    int count = 0;
    if (LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i)
            wide << QString::fromWCharArray(words[i]);
        ::LocalFree(words);
    }
    return wide;
#else
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << fileNameFromSystem(QByteArray(argv[i]));
    return arguments;
#endif
}

QByteArray systemFileName(const QString& name)
{
    if (!keepsForeignBytes(name))
        return QFile::encodeName(name);
    QByteArray bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!isKeptByte(name, i))
            continue;
        bytes += name.sliced(start, i - start).toUtf8();
        bytes += char(name[i].unicode() - 0xDC00);
        start = i + 1;
    }
    return bytes + name.sliced(start).toUtf8();
}

bool keepsForeignBytes(const QString& name)
{
    for (qsizetype i = 0; i < name.size(); ++i)
        if (isKeptByte(name, i))
            return true;
    return false;
}

QString shownFileName(const QString& name)
{
    if (!keepsForeignBytes(name))
        return name;
    QString shown;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (isKeptByte(name, i))
            shown +=
                QLatin1String("\\x") +
                QString::number(name[i].unicode() - 0xDC00, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            shown += name[i];
    }
    return shown;
}

std::filesystem::path fileSystemPath(const QString& name)
{
#ifdef Q_OS_WIN
    return name.toStdWString();
#else
    return systemFileName(name).toStdString();
#endif
}

FileByBytes::FileByBytes(const QString& name)
{
    if (!keepsForeignBytes(name)) {
        m_path = name;
        return;
    }
#ifdef Q_OS_LINUX
    // O_PATH finds the file without opening it: a pipe does not block, and reading rights are
    // checked when Qt opens the name below, as for any other name.
    m_descriptor = ::open(systemFileName(name).constData(), O_PATH | O_CLOEXEC);
    if (m_descriptor < 0) {
        m_error = errno;
        return;
    }
    m_path = QStringLiteral("/proc/self/fd/%1").arg(m_descriptor);
#else
    m_error = ENOENT;
#endif
}

FileByBytes::~FileByBytes()
{
#ifdef Q_OS_LINUX
    if (m_descriptor >= 0)
        ::close(m_descriptor);
#endif
}
