#pragma once

#include "result/Result.h"

#include <QString>
#include <QStringList>

// The pattern files last opened or saved by name, newest first, at most
// eight, as absolute paths. Kept in a file of their own in the user's
// configuration folder (never in Setting.ini, which holds the port), written
// through replaceFile, so the list outlives the run and a full disk loses
// nothing. Each change reads the file again first, so windows running side by
// side add to one list. The window's file menu keeps it.
class RecentFiles
{
public:
    static constexpr int Limit = 8;

    // `file` is where the list is kept (its folder is made when the list is
    // first written); empty keeps the list for this run only.
    explicit RecentFiles(const QString& file);

    // The list as the file holds it; a missing or unreadable file gives none.
    void load();
    const QStringList& paths() const { return m_paths; }

    // `path` goes to the front (and out of the place it held). Then the list
    // is written, which fails with the reason worded for the user.
    Result<> add(const QString& path);
    Result<> remove(const QString& path);

    QString file() const { return m_file; }

private:
    Result<> store();

    QString m_file;
    QStringList m_paths;
};
