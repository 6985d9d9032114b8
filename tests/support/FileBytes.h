#pragma once

#include <QByteArray>
#include <QString>

// Whole files in and out of a test's folders.

// The bytes of the file, or a null array when there is no file to read.
QByteArray readFile(const QString& path);
// Writes the file whole; false when it could not.
bool writeFile(const QString& path, const QByteArray& bytes);

// Why a test of symbolic links is skipped on Windows.
inline constexpr char NoSymbolicLinksOnWindows[] =
    "Windows' links are shortcuts, files of their own that Explorer follows, not the file system";
