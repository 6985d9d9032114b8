#pragma once

#include "result/Result.h"
#include "settings/IniProfile.h"

#include <QString>
#include <optional>

// Which "Setting.ini" the program keeps its settings in; the window reads
// and stores its port through it, and the serial port looks up the devices
// of the section "Ports" through the same object, so both see the same files.
//
// The file beside the executable is the program's own wherever it can be
// written: a build folder, a portable copy, a folder the user owns. A program
// installed where the user cannot write, or whose file is in UTF-16 (read,
// never written), keeps the user's settings in "Setting.ini" in the user's
// configuration folder instead. The file beside
// such a program, when someone put one there, still counts: the user's file
// is read first, and a value it does not have (the lookup answers "ERROR")
// is read from the file beside the program. Stores go to the user's file
// only, so what the user picks wins from then on and every line written into
// either file by hand keeps its effect.
// What the settings files held when they were read: every look-up answers
// from that, so a run of look-ups reads each file once.
class SettingsSnapshot
{
public:
    SettingsSnapshot() = default;
    SettingsSnapshot(IniFileText file, std::optional<IniFileText> fallback)
        : m_file(std::move(file)), m_fallback(std::move(fallback))
    {
    }

    // As SettingsLocation::value and storedValue, at the time of reading.
    QString value(const QString& KEY, const QString& Section) const;
    std::optional<QString> storedValue(const QString& KEY, const QString& Section) const;

private:
    IniFileText m_file;
    std::optional<IniFileText> m_fallback;
};

class SettingsLocation
{
public:
    // Reads and writes `file`; reads `fallbackFile` for values `file` lacks.
    explicit SettingsLocation(const QString& file = {}, const QString& fallbackFile = {});

    // The files of a program in `programFolder`, for a user whose
    // configuration folder is `configFolder` (which need not exist yet).
    static SettingsLocation find(const QString& programFolder, const QString& configFolder);

    QString file() const { return m_file; }
    QString fallbackFile() const { return m_fallbackFile; }

    // Reads both files now, for the look-ups that follow.
    SettingsSnapshot read() const;

    // The value of a key, as GetINIValue gives it, from the first file that has it.
    QString value(const QString& KEY, const QString& Section) const;
    // The same, with nothing where neither file has the key (value gives "ERROR").
    std::optional<QString> storedValue(const QString& KEY, const QString& Section) const;

    // Where a store goes now: `file`, or the user's file where `file` is the
    // program's own and the program's folder is gone.
    QString storeFile() const;

    // Stores a value in storeFile() as SetINIValue does, creating the user's
    // configuration folder first where it is missing; the program's folder
    // is never made. A value the files already give (storedValue) is not
    // written again, so nothing is created or changed and nothing can fail.
    // Where the program's folder was deleted while the program runs, the
    // value goes into the user's file, as for a program folder that cannot be
    // written, except "ERROR", what a look-up gives for nothing stored: no
    // port was picked, and nothing is written. A failure says why in one line.
    Result<> store(const QString& Value, const QString& KEY, const QString& Section) const;

private:
    QString m_file;
    QString m_fallbackFile;
    // Where `file` is the program's own (find), the user's file, which takes its
    // place once the program's folder is gone; empty where no user's folder is known.
    bool m_besideProgram = false;
    QString m_userFile;
};

// Whether a settings file at `path` can be written for real: an existing
// one is a regular file the user may write and not in UTF-16, a missing one
// can be created in its folder. Asks the file system, so a read-only mount refuses even the
// administrator.
bool canWriteSettingsFile(const QString& path);
