#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <filesystem>

// File names as the system has them, held as text. On Linux a name is bytes,
// and one saved by a system that writes Shift_JIS (`sj\x83p\x83^.txt`) is no
// UTF-8: Qt reads each stray byte as U+FFFD, and that name opens no file.
// Here such a byte is kept as a lone surrogate, U+DC80 to U+DCFF (as Python's
// "surrogateescape" keeps it), so the name comes back byte for byte. Qt's file
// classes cannot take such a name; the files layer opens it by its bytes
// (FileByBytes), and what shows a name to people writes each such byte as
// \xHH. The command-line writer and the window's FILE argument take their
// names so; every other name (dialogs, settings) is plain text.

// A name as the system gives it (a command-line argument): its text, with
// each byte that is not part of a UTF-8 character kept.
QString fileNameFromSystem(const QByteArray& bytes);

// A program's arguments so, argv[0] first.
QStringList systemArguments(int argc, const char* const argv[]);

// The bytes of `name`: what the system calls it.
QByteArray systemFileName(const QString& name);

// Whether `name` keeps such bytes, so that Qt's file classes cannot open it.
bool keepsForeignBytes(const QString& name);

// `name` for people: each kept byte as \xHH, as bash's $'...' takes it back.
QString shownFileName(const QString& name);

// `name` for the standard library's file functions, byte for byte.
std::filesystem::path fileSystemPath(const QString& name);

// A file whose name keeps foreign bytes, found by its bytes: while this object
// lives, path() names the same file for Qt's file classes, which read, stat
// and open it through that name (Linux's /proc/self/fd). For any other name,
// path() is the name itself. A name that cannot be found gives an empty
// path() and the system's error().
class FileByBytes
{
public:
    explicit FileByBytes(const QString& name);
    ~FileByBytes();
    FileByBytes(const FileByBytes&) = delete;
    FileByBytes& operator=(const FileByBytes&) = delete;

    QString path() const { return m_path; }
    // The errno of the failed look-up; 0 when path() names the file.
    int error() const { return m_error; }

private:
    QString m_path;
    int m_error = 0;
    int m_descriptor = -1;
};
