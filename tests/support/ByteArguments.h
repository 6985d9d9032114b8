#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class QProcess;

// Names that are no text (a name saved in Shift_JIS on a UTF-8 system) as a
// user has them in a shell, where QProcess would pass them as text.

// Starts `program` with `arguments` as bytes, through the shell, as
// `program $'sj\x83p'` gives them; the shell execs, so the process is the
// program's own.
void startWithBytes(QProcess& process, const QString& program, const QList<QByteArray>& arguments);

// A whole file written, and read, under a name given as bytes.
bool writeFileByBytes(const QByteArray& path, const QByteArray& bytes);
QByteArray readFileByBytes(const QByteArray& path);
